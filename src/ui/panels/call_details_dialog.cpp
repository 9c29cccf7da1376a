#include "ui/panels/call_details_dialog.h"

#include "recording/call_recording.h"
#include "settings/app_settings.h"
#include "settings/prompter.h"
#include "store/call_log_store.h"
#include "ui/panels/call_log_context.h"
#include "ui/panels/call_log_panel.h"
#include "ui/panels/call_time_text.h"
#include "ui/panels/notes_dialog.h"
#include "ui/panels/playback_controls.h"

#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstdio>
#include <filesystem>
#include <memory>

namespace {

constexpr const char* kTitle = "Kestrium";
// A deleted entry (or any unknown code) keeps the line's first text.
constexpr const char* kInitialHeader = QT_TRANSLATE_NOOP("CallDetailsDialog", "Outgoing call to:");

QFont BoldFont(int pixelSize)
{
    QFont font("Arial");
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::ExtraBold);
    return font;
}

QLabel* PlainLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

CallDetailsDialog::CallDetailsDialog(CallLogContext& context, QWidget* parent)
    : QDialog(parent)
    , m_context(context)
{
    setWindowTitle(tr("Call details:"));
    auto* layout = new QVBoxLayout(this);
    CreateFacts();
    CreateNoteBox();
    m_player = new PlaybackControls(context, this);
    layout->addWidget(m_player);
    CreateButtons();
    ShowEntry();
}

QString CallDetailsDialog::HeaderFor(int type)
{
    switch (type) {
    case kCallTypeMissed:
        return tr("Missed call from:");
    case kCallTypeIncoming:
        return tr("Incoming call from:");
    case kCallTypeOutgoing:
        return tr("Outgoing call to:");
    case kCallTypeConference:
        return tr("Conference call with:");
    case kCallTypeVoicemail:
    case CallLogStore::kFilterUnreadVoicemail:
        return tr("Voicemail from:");
    default:
        return tr(kInitialHeader);
    }
}

void CallDetailsDialog::CreateFacts()
{
    m_header = PlainLabel(tr(kInitialHeader), this);
    m_header->setFont(BoldFont(18));
    layout()->addWidget(m_header);
    auto* grid = new QGridLayout;
    static const char* const kCaptions[kRowCount]
        = { nullptr, nullptr, QT_TR_NOOP("On:"), QT_TR_NOOP("Time:"), QT_TR_NOOP("Len:") };
    for (int row = 0; row < kRowCount; ++row) {
        m_values[row] = PlainLabel(QString(), this);
        m_values[row]->setFont(BoldFont(16));
        m_values[row]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        if (kCaptions[row])
            grid->addWidget(new QLabel(tr(kCaptions[row]), this), row, 0);
        grid->addWidget(m_values[row], row, 1);
    }
    grid->setColumnStretch(1, 1);
    static_cast<QVBoxLayout*>(layout())->addLayout(grid);
}

void CallDetailsDialog::CreateNoteBox()
{
    layout()->addWidget(new QLabel(tr("Notes:"), this));
    m_note = new QPlainTextEdit(this);
    m_note->setObjectName("note");
    m_note->setTabChangesFocus(true);
    m_update = new QPushButton(tr("Update"), this);
    m_clear = new QPushButton(tr("Clear"), this);
    for (QPushButton* button : { m_update, m_clear })
        button->setAutoDefault(false);
    auto* row = new QHBoxLayout;
    row->addWidget(m_note, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_update);
    buttons->addWidget(m_clear);
    buttons->addStretch(1);
    row->addLayout(buttons);
    static_cast<QVBoxLayout*>(layout())->addLayout(row, 1);
    connect(m_update, &QPushButton::clicked, this, &CallDetailsDialog::UpdateNote);
    connect(m_clear, &QPushButton::clicked, this, &CallDetailsDialog::ClearNote);
}

void CallDetailsDialog::CreateButtons()
{
    auto* row = new QHBoxLayout;
    const struct {
        const char* caption;
        int result;
    } kButtons[]
        = { { QT_TR_NOOP("Done"), QDialog::Accepted }, { QT_TR_NOOP("Call"), CallLogPanel::kDetailsCall },
              { QT_TR_NOOP("Save..."), CallLogPanel::kDetailsSave },
              { QT_TR_NOOP("Delete"), CallLogPanel::kDetailsDelete } };
    for (const auto& entry : kButtons) {
        auto* button = new QPushButton(tr(entry.caption), this);
        button->setAutoDefault(false);
        const int result = entry.result;
        connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
        row->addWidget(button);
    }
    static_cast<QVBoxLayout*>(layout())->addLayout(row);
}

// The facts and the note of the current entry; the note is connected only once it is shown.
void CallDetailsDialog::ShowEntry()
{
    const CallLogEntry* entry = m_context.CurrentEntry();
    if (entry) {
        m_header->setText(HeaderFor(entry->type));
        const QString texts[kRowCount] = { QString::fromStdString(entry->callerName),
            QString::fromStdString(entry->number), ShownDate(entry->startTime), ShownTime(entry->startTime),
            QString::fromStdString(entry->DurationText()) };
        for (int row = 0; row < kRowCount; ++row)
            m_values[row]->setText(texts[row]);
        if (!entry->note.empty())
            m_note->setPlainText(QString::fromStdString(CallRecording::ReadNoteFile(entry->note)));
    }
    m_update->setEnabled(false);
    m_clear->setEnabled(!m_note->toPlainText().isEmpty());
    m_note->setFocus();
    connect(m_note, &QPlainTextEdit::textChanged, this, &CallDetailsDialog::OnNoteEdited);
    m_player->ShowRecordingLength();
    m_player->UpdateButtons();
}

void CallDetailsDialog::OnNoteEdited()
{
    KeepNoteWithinLimit(*m_note);
    m_update->setEnabled(true);
    m_clear->setEnabled(!m_note->toPlainText().isEmpty());
}

void CallDetailsDialog::UpdateNote()
{
    CallLogEntry* entry = m_context.CurrentEntry();
    if (!entry)
        return;
    const std::string text = NoteText(*m_note);
    if (!text.empty()) {
        if (!WriteNote(text))
            return;
    } else if (!entry->note.empty()) {
        std::error_code error;
        std::filesystem::remove(entry->note, error);
        entry->note.clear();
    }
    m_context.Save();
    m_context.RefreshLists();
    m_update->setEnabled(false);
    m_clear->setEnabled(!text.empty());
    m_note->setFocus();
}

// A first note gets a new file in the voice-mail folder (voice messages) or the call recordings
// folder; the text replaces what the file held.
bool CallDetailsDialog::WriteNote(const std::string& text)
{
    CallLogEntry& entry = *m_context.CurrentEntry();
    if (entry.note.empty()) {
        const int code = entry.TypeCode();
        const std::string& folder = code == kCallTypeVoicemail || code == CallLogStore::kFilterUnreadVoicemail
            ? m_context.folders.voiceMailFolder
            : m_context.folders.callRecordingsFolder;
        std::string path;
        if (!CallRecording::CreateNoteFile(folder, path)) {
            m_context.prompter.ShowMessage(
                tr("The note could not be stored: no new file could be made in \"%1\".")
                    .arg(QString::fromStdString(folder))
                    .toStdString(),
                kTitle, Prompter::Icon::Stop);
            return false;
        }
        entry.note = path;
    }
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
        std::fopen(entry.note.c_str(), "w+"), &std::fclose);
    if (!file || std::fwrite(text.data(), 1, text.size(), file.get()) != text.size()
        || std::fflush(file.get()) != 0) {
        m_context.prompter.ShowMessage(tr("The note could not be written to \"%1\".")
                                           .arg(QString::fromStdString(entry.note))
                                           .toStdString(),
            kTitle, Prompter::Icon::Stop);
        return false;
    }
    return true;
}

void CallDetailsDialog::ClearNote()
{
    if (!m_note->toPlainText().isEmpty()
        && m_context.prompter.AskYesNo(NotesDialog::tr(NotesDialog::kClearQuestion).toStdString(), kTitle)) {
        m_note->clear();
        UpdateNote();
        return;
    }
    m_note->setFocus();
}

void CallDetailsDialog::done(int result)
{
    m_player->Stop();
    QDialog::done(result);
}
