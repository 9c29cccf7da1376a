#pragma once

#include "ui/setup/audio_setup_page.h"

#include <QCoreApplication>

class FolderField;
class QCheckBox;
class QRadioButton;

// The call-recording page of the setup dialog: the two recording folders, automatic recording and
// the beep played when recording starts, a tone or a file with its player and recorder.
class CallRecordingPage : public AudioSetupPage {
    Q_DECLARE_TR_FUNCTIONS(CallRecordingPage)

public:
    CallRecordingPage(SetupContext& context, QWidget* parent);

    // The folders, the operation switches and the beep file, into the registry and AppSettings.
    void StoreValues() override;

private:
    FolderField* m_callFolder;
    FolderField* m_generalFolder;
    QCheckBox* m_autoRecord;
    QCheckBox* m_playBeep;
    QRadioButton* m_beepTone;
    QRadioButton* m_beepFile;
};
