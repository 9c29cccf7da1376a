#pragma once

#include "ui/setup/audio_setup_page.h"

#include <QCoreApplication>

class FolderField;
class QCheckBox;
class QSpinBox;

// The voice-mail page of the setup dialog: the voice-mail folder, automatic answering after a
// number of rings, and the greeting with its player and recorder.
class VoiceMailPage : public AudioSetupPage {
    Q_DECLARE_TR_FUNCTIONS(VoiceMailPage)

public:
    VoiceMailPage(SetupContext& context, QWidget* parent);

    // The folder, the greeting, the format, the answering switches and the two devices, into the
    // registry and (all but the devices) AppSettings.
    void StoreValues() override;

private:
    FolderField* m_folder;
    QCheckBox* m_answer;
    QSpinBox* m_rings;
};
