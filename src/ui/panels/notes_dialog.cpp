#include "ui/panels/notes_dialog.h"

#include "recording/call_recording.h"
#include "settings/prompter.h"
#include "store/text_limit.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

namespace {

constexpr const char* kTitle = "Kestrium";

// Call recording's handle on a dialog. The dialog is deleted later, not at once: closing is often
// asked from inside one of the dialog's own button handlers.
class DialogNotesWindow : public NotesWindow {
public:
    explicit DialogNotesWindow(NotesDialog* dialog)
        : m_dialog(dialog)
    {
    }
    ~DialogNotesWindow() override
    {
        if (m_dialog) {
            m_dialog->hide();
            m_dialog->deleteLater();
        }
    }
    void Show() override
    {
        if (m_dialog)
            m_dialog->ShowOnTop();
    }
    void SetNote(std::string_view text) override
    {
        if (m_dialog)
            m_dialog->SetNote(text);
    }

private:
    QPointer<NotesDialog> m_dialog;
};

} // namespace

void KeepNoteWithinLimit(QPlainTextEdit& editor)
{
    const std::string text = NoteText(editor);
    if (text.size() <= CallRecording::kMaxNoteLength)
        return;
    const std::string_view kept = CutToLimit(text, CallRecording::kMaxNoteLength);
    editor.setPlainText(QString::fromUtf8(kept.data(), qsizetype(kept.size())));
    editor.moveCursor(QTextCursor::End);
}

std::string NoteText(const QPlainTextEdit& editor)
{
    return editor.toPlainText().toStdString();
}

NotesDialog::NotesDialog(NoteSaver& saver, Prompter& prompter, int slot, HCALL call, QWidget* parent)
    : QDialog(parent)
    , m_saver(saver)
    , m_prompter(prompter)
    , m_slot(slot)
    , m_call(call)
{
    setWindowTitle(tr("Notes"));
    auto* layout = new QVBoxLayout(this);
    SetupEditor();
    layout->addWidget(m_editor);
    SetupButtons();
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : { m_ok, m_cancel, m_clear, m_delete })
        buttons->addWidget(button);
    layout->addLayout(buttons);
}

NotesWindowFactory NotesDialog::Factory(Prompter& prompter, QWidget* parent)
{
    return [&prompter, parent](NoteSaver& saver, int slot, HCALL call) -> std::unique_ptr<NotesWindow> {
        return std::make_unique<DialogNotesWindow>(new NotesDialog(saver, prompter, slot, call, parent));
    };
}

void NotesDialog::SetupEditor()
{
    m_editor = new QPlainTextEdit(this);
    m_editor->setTabChangesFocus(true);
    connect(m_editor, &QPlainTextEdit::textChanged, this, [this] { KeepNoteWithinLimit(*m_editor); });
}

void NotesDialog::SetupButtons()
{
    m_ok = new QPushButton(tr("OK"), this);
    m_cancel = new QPushButton(tr("Cancel"), this);
    m_clear = new QPushButton(tr("Clear"), this);
    m_delete = new QPushButton(tr("Delete"), this);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, [this] { Finish(NoteText(*m_editor)); });
    connect(m_cancel, &QPushButton::clicked, this, &NotesDialog::reject);
    connect(m_clear, &QPushButton::clicked, this, &NotesDialog::Clear);
    connect(m_delete, &QPushButton::clicked, this, &NotesDialog::Delete);
}

void NotesDialog::SetNote(std::string_view text)
{
    m_editor->setPlainText(QString::fromUtf8(text.data(), qsizetype(text.size())));
    m_editor->moveCursor(QTextCursor::End);
}

QString NotesDialog::Note() const
{
    return m_editor->toPlainText();
}

void NotesDialog::ShowOnTop()
{
    show();
    raise();
    activateWindow();
    m_editor->setFocus();
}

void NotesDialog::reject()
{
    Finish(std::nullopt);
}

// Emptying the text saves nothing yet: OK or Delete does.
void NotesDialog::Clear()
{
    if (!Note().isEmpty() && m_prompter.AskYesNo(tr(kClearQuestion).toStdString(), kTitle))
        m_editor->clear();
    m_editor->setFocus();
}

void NotesDialog::Delete()
{
    if (!Note().isEmpty() && m_prompter.AskYesNo(tr(kDeleteQuestion).toStdString(), kTitle)) {
        m_editor->clear();
        Finish(std::string_view());
        return;
    }
    m_editor->setFocus();
}

void NotesDialog::Finish(std::optional<std::string_view> text)
{
    if (m_finished)
        return;
    m_finished = true;
    m_saver.SaveNote(m_slot, m_call, text);
}
