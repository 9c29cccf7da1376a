#pragma once

#include "recording/notes_window.h"

#include <QCoreApplication>
#include <QDialog>

#include <string>

class Prompter;
class QPlainTextEdit;
class QPushButton;

// Text typed or pasted into a note editor beyond the note limit is cut off, never inside a
// character.
void KeepNoteWithinLimit(QPlainTextEdit& editor);
// A note as it is written to its file: the editor's text in UTF-8.
std::string NoteText(const QPlainTextEdit& editor);

// "Notes": the modeless editor of the note of a call in progress, with the buttons "OK", "Cancel",
// "Clear" and "Delete". It belongs to a call on a line slot and hands the user's decision to its
// NoteSaver, which closes it. A note holds at most 1,000 bytes of text.
class NotesDialog : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(NotesDialog)

public:
    static constexpr const char* kClearQuestion
        = QT_TRANSLATE_NOOP("NotesDialog", "Are you sure you want to clear this note ?");
    static constexpr const char* kDeleteQuestion
        = QT_TRANSLATE_NOOP("NotesDialog", "Are you sure you want to delete this note ?");

    NotesDialog(NoteSaver& saver, Prompter& prompter, int slot, HCALL call, QWidget* parent = nullptr);

    // The factory that call recording is given: each window is a NotesDialog over `parent`, and
    // closing it deletes the dialog once control is back in the event loop.
    static NotesWindowFactory Factory(Prompter& prompter, QWidget* parent = nullptr);

    void SetNote(std::string_view text);
    QString Note() const;
    void ShowOnTop();

    int Slot() const { return m_slot; }
    HCALL Call() const { return m_call; }
    QPlainTextEdit* Editor() const { return m_editor; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* CancelButton() const { return m_cancel; }
    QPushButton* ClearButton() const { return m_clear; }
    QPushButton* DeleteButton() const { return m_delete; }

    // Cancel, Escape and closing the window: nothing is saved.
    void reject() override;

private:
    void SetupEditor();
    void SetupButtons();
    void Clear();
    void Delete();
    void Finish(std::optional<std::string_view> text);

    NoteSaver& m_saver;
    Prompter& m_prompter;
    const int m_slot;
    const HCALL m_call;
    QPlainTextEdit* m_editor = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_clear = nullptr;
    QPushButton* m_delete = nullptr;
    // The decision is handed over once; clicks that arrive before the window goes are ignored.
    bool m_finished = false;
};
