#pragma once

#include <QCoreApplication>
#include <QDialog>

class PlaybackControls;
class QLabel;
class QPlainTextEdit;
class QPushButton;
struct CallLogContext;

// "Call details:": who, when and how long for the current call log entry, its note with Update and
// Clear, and the player for its recording. It ends with the action the user chose: "Call",
// "Save..." and "Delete" end it with the call log page's codes, "Done" and closing with none.
class CallDetailsDialog : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(CallDetailsDialog)

public:
    CallDetailsDialog(CallLogContext& context, QWidget* parent = nullptr);

    // The header line for an entry's whole type word, in the user's language.
    static QString HeaderFor(int type);
    // Stores the note: a new file for a first note, the file deleted for an empty one.
    void UpdateNote();
    void ClearNote();

    QLabel* Header() const { return m_header; }
    QLabel* Value(int row) const { return m_values[row]; }
    QPlainTextEdit* NoteEditor() const { return m_note; }
    QPushButton* UpdateButton() const { return m_update; }
    QPushButton* ClearButton() const { return m_clear; }
    PlaybackControls* Player() const { return m_player; }

    // Every way out stops the playback first.
    void done(int result) override;

    // Rows of Value(): name, number, date, time, length.
    enum Row { kName, kNumber, kDate, kTime, kLength, kRowCount };

private:
    void CreateFacts();
    void CreateNoteBox();
    void CreateButtons();
    void ShowEntry();
    void OnNoteEdited();
    bool WriteNote(const std::string& text);

    CallLogContext& m_context;
    QLabel* m_header = nullptr;
    QLabel* m_values[kRowCount] = {};
    QPlainTextEdit* m_note = nullptr;
    QPushButton* m_update = nullptr;
    QPushButton* m_clear = nullptr;
    PlaybackControls* m_player = nullptr;
};
