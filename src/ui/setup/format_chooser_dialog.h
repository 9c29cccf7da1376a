#pragma once

#include "platform/msacm.h"

#include <QCoreApplication>
#include <QDialog>

#include <vector>

class QComboBox;

// "Select Audio Format": the format tags on offer and, for the chosen tag, its formats. It starts
// at the current format and answers the index of the chosen one.
class FormatChooserDialog : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(FormatChooserDialog)

public:
    FormatChooserDialog(
        const std::vector<AcmFormatChoice>& choices, int initial, const QString& title, QWidget* parent);

    // The index of the chosen format in the offered list, -1 when there is none.
    int ChosenIndex() const;
    QComboBox& TagList() { return *m_tags; }
    QComboBox& FormatList() { return *m_formats; }

private:
    void FillFormats(const QString& tag);

    const std::vector<AcmFormatChoice>& m_choices;
    QComboBox* m_tags;
    QComboBox* m_formats;
};

// While it lives, the compression manager's format chooser is this dialog (owner: the QWidget
// passed to WaveRecorder::ChooseFormat); afterwards there is none again.
class ScopedFormatChooser {
public:
    ScopedFormatChooser();
    ~ScopedFormatChooser();
    ScopedFormatChooser(const ScopedFormatChooser&) = delete;
    ScopedFormatChooser& operator=(const ScopedFormatChooser&) = delete;
};
