#include "ui/panels/call_log_panel.h"

#include "res/images.h"
#include "settings/prompter.h"
#include "settings/settings_store.h"
#include "store/call_log_store.h"
#include "store/contact_record.h"
#include "telephony/line_manager.h"
#include "ui/panels/call_details_dialog.h"
#include "ui/panels/call_log_context.h"
#include "ui/panels/call_log_model.h"
#include "ui/panels/call_time_text.h"
#include "ui/panels/playback_controls.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kDropDownIcon = 263;
constexpr const char* kDeleteTitle = QT_TRANSLATE_NOOP("CallLogPanel", "Delete entry");

struct TypeChoice {
    const char* command;
    const char* label;
    std::int32_t filter;
};

// The type menu in its order; a null command is a separator.
constexpr TypeChoice kTypeChoices[] = {
    { QT_TRANSLATE_NOOP("CallLogPanel", "All"), QT_TRANSLATE_NOOP("CallLogPanel", "All"),
        CallLogStore::kFilterAll },
    { nullptr, nullptr, 0 },
    { QT_TRANSLATE_NOOP("CallLogPanel", "Incoming"), QT_TRANSLATE_NOOP("CallLogPanel", "Incoming"),
        kCallTypeIncoming },
    { QT_TRANSLATE_NOOP("CallLogPanel", "Outgoing"), QT_TRANSLATE_NOOP("CallLogPanel", "Outgoing"),
        kCallTypeOutgoing },
    { QT_TRANSLATE_NOOP("CallLogPanel", "Missed"), QT_TRANSLATE_NOOP("CallLogPanel", "Missed"),
        kCallTypeMissed },
    { nullptr, nullptr, 0 },
    { QT_TRANSLATE_NOOP("CallLogPanel", "Voicemail"), QT_TRANSLATE_NOOP("CallLogPanel", "Voicemail"),
        kCallTypeVoicemail },
    { QT_TRANSLATE_NOOP("CallLogPanel", "Unread Voicemail"),
        QT_TRANSLATE_NOOP("CallLogPanel", "Unread voicemail"), CallLogStore::kFilterUnreadVoicemail },
    { nullptr, nullptr, 0 },
    { QT_TRANSLATE_NOOP("CallLogPanel", "Deleted"), QT_TRANSLATE_NOOP("CallLogPanel", "Deleted"),
        CallLogStore::kFilterDeleted },
};

// Placeholders such as "No data" and "[Blocked]" stand where the caller sent no number.
bool IsDialable(const std::string& number)
{
    return !number.empty() && number != "No data" && number.front() != '[';
}

} // namespace

CallLogPanel::CallLogPanel(CallLogContext& context, Kind kind, QWidget* parent)
    : QWidget(parent)
    , m_context(context)
    , m_kind(kind)
    , m_filter(CallLogStore::kFilterAll)
{
    m_model = new CallLogModel(context.store, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    if (kind == Kind::CallLog)
        CreateTypeRow();
    CreateList();
    m_player = new PlaybackControls(context, this);
    layout->addWidget(m_player);
    if (kind == Kind::VoiceMail) {
        m_filter = kCallTypeVoicemail;
        m_player->SetAfterButton([this] { m_list->setFocus(); });
    }
}

void CallLogPanel::CreateTypeRow()
{
    auto* row = new QHBoxLayout;
    m_typeLabel = new QLabel(this);
    m_typeLabel->setObjectName("typeLabel");
    m_typeLabel->setTextFormat(Qt::PlainText);
    m_typeLabel->setCursor(Qt::PointingHandCursor);
    m_typeLabel->installEventFilter(this);
    m_typeButton = new QToolButton(this);
    m_typeButton->setObjectName("typeButton");
    m_typeButton->setIcon(Images::Icon(kDropDownIcon));
    m_typeButton->setAutoRaise(true);
    m_typeButton->setToolTip(tr("Choose the calls to show"));
    m_typeButton->setAccessibleName(tr("Calls shown"));
    connect(m_typeButton, &QToolButton::clicked, this, &CallLogPanel::OpenTypeMenu);
    row->addWidget(m_typeLabel);
    row->addWidget(m_typeButton);
    row->addStretch(1);
    static_cast<QVBoxLayout*>(layout())->addLayout(row);
    SetLabelFor(CallLogStore::kFilterAll);
}

void CallLogPanel::CreateList()
{
    m_list = new QTreeView(this);
    m_list->setObjectName("callList");
    m_list->setAccessibleName(m_kind == Kind::VoiceMail ? tr("Voice messages") : tr("Calls"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setIconSize(QSize(26, 18));
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->setModel(m_model);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setDefaultAlignment(Qt::AlignCenter);
    m_nameWidth = m_list->header()->defaultSectionSize();
    m_list->viewport()->installEventFilter(this);
    static_cast<QVBoxLayout*>(layout())->addWidget(m_list, 1);
    connect(m_list->header(), &QHeaderView::sectionResized, this, &CallLogPanel::OnColumnResized);
    connect(m_list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        &CallLogPanel::OnSelectionChanged);
    connect(m_list, &QTreeView::doubleClicked, this, &CallLogPanel::ShowDetails);
    connect(m_list, &QTreeView::customContextMenuRequested, this, &CallLogPanel::OpenEntryMenu);
}

// The date and time columns are never narrower than their texts in this locale and font, so a
// stored width made for another font does not cut every date short.
void CallLogPanel::SetColumnWidths(const int (&widths)[kColumnCount])
{
    const CallTime widest{ 2026, 12, 28, 23, 58, 58 };
    const QString samples[kColumnCount] = { QString(), ShownDate(widest), ShownTime(widest) };
    constexpr int kPadding = 14;
    for (int column = 0; column < kColumnCount; ++column) {
        const int fitting = samples[column].isEmpty()
            ? 0
            : m_list->fontMetrics().horizontalAdvance(samples[column]) + kPadding;
        m_list->setColumnWidth(column, std::max(widths[column], fitting));
    }
}

// The name column's own width (the stored one or the user's); it shows wider while the list has
// room to spare.
int CallLogPanel::ColumnWidth(int column) const
{
    return column == 0 ? m_nameWidth : m_list->columnWidth(column);
}

void CallLogPanel::OnColumnResized(int column, int, int width)
{
    if (m_fittingNames)
        return;
    if (column == 0)
        m_nameWidth = width;
    FitNameColumn();
}

// The name column takes the width the date and time leave, never less than its own width.
void CallLogPanel::FitNameColumn()
{
    const int room = m_list->viewport()->width() - m_list->columnWidth(1) - m_list->columnWidth(2);
    m_fittingNames = true;
    m_list->setColumnWidth(0, std::max(m_nameWidth, room));
    m_fittingNames = false;
}

void CallLogPanel::SetFilter(std::int32_t filter)
{
    SetLabelFor(filter);
    m_filter = filter;
    Refill();
}

void CallLogPanel::SetLabelFor(std::int32_t filter)
{
    if (!m_typeLabel)
        return;
    for (const TypeChoice& choice : kTypeChoices)
        if (choice.label && choice.filter == filter)
            m_typeLabel->setText(tr(choice.label));
}

// A page is filled when it is first shown or its list is first asked for: at start-up only the
// page in view is worth the time of ordering every call.
void CallLogPanel::FillIfPending()
{
    if (m_fillPending)
        Refill();
}

void CallLogPanel::Refill()
{
    m_fillPending = false;
    m_filling = true;
    m_model->Fill(m_filter);
    const int row = m_context.current ? m_model->RowOf(*m_context.current) : -1;
    if (row >= 0)
        m_list->setCurrentIndex(m_model->index(row, 0));
    m_filling = false;
}

void CallLogPanel::RefreshUnreadCount()
{
    Refill();
    m_context.window.ShowUnreadCount(m_context.store.CountUnheardVoicemail());
}

void CallLogPanel::MarkMissedViewed()
{
    if (m_context.window.IsCallLogTabCurrent())
        m_context.settings.Write(
            Settings::kMissedCallsViewedAt, std::int32_t(MissedCallStamp(CallTime::Now())));
    m_context.window.ShowMissedCount(m_context.store.CountUnseenMissed(m_context.settings));
}

void CallLogPanel::SelectPosition(std::size_t position)
{
    FillIfPending();
    const int row = m_model->RowOf(position);
    if (row < 0)
        return;
    m_list->setCurrentIndex(m_model->index(row, 0));
    m_list->scrollTo(m_list->currentIndex());
}

const CallLogEntry* CallLogPanel::SelectedEntry() const
{
    const std::optional<std::size_t> position = m_model->Position(m_list->currentIndex().row());
    return position ? m_context.store.GetAt(*position) : nullptr;
}

bool CallLogPanel::SelectedIsCallable() const
{
    const CallLogEntry* entry = SelectedEntry();
    return entry && IsDialable(entry->number);
}

bool CallLogPanel::CallSelected()
{
    if (!SelectedEntry())
        return false;
    CallEntry();
    return true;
}

bool CallLogPanel::TakeSelected()
{
    const std::optional<std::size_t> position = m_model->Position(m_list->currentIndex().row());
    if (!position)
        return false;
    m_context.current = position;
    return true;
}

// A double-click or "Details...": the dialog, then the action of the button that closed it.
void CallLogPanel::ShowDetails()
{
    if (!TakeSelected())
        return;
    int result = 0;
    {
        CallDetailsDialog dialog(m_context, this);
        result = dialog.exec();
    }
    m_player->UpdateButtons();
    switch (result) {
    case kDetailsCall:
        CallEntry();
        break;
    case kDetailsSave:
        SaveToContact();
        break;
    case kDetailsDelete:
        DeleteEntry();
        break;
    default:
        break;
    }
}

void CallLogPanel::CallEntry()
{
    if (!TakeSelected() || !SelectedIsCallable())
        return;
    const CallLogEntry entry = *SelectedEntry();
    m_context.lines.DialAndRemember(m_context.redial, entry.callerName, entry.number);
    m_context.window.RefreshCallDisplay();
}

// The caller's name splits at its first blank into first and last name.
void CallLogPanel::SaveToContact()
{
    if (!TakeSelected())
        return;
    const CallLogEntry& entry = *SelectedEntry();
    if (entry.callerName.empty() && !IsDialable(entry.number))
        return;
    ContactRecord record;
    const std::size_t blank = entry.callerName.find(' ');
    record.SetFirstName(entry.callerName.substr(0, blank));
    if (blank != std::string::npos)
        record.SetLastName(entry.callerName.substr(blank + 1));
    if (IsDialable(entry.number))
        record.SetNumber(0, entry.number);
    m_context.window.SaveToContact(record);
}

void CallLogPanel::DeleteEntry()
{
    if (TakeSelected()
        && m_context.prompter.AskYesNo(tr("Are you sure ?").toStdString(), tr(kDeleteTitle).toStdString())
        && m_context.store.MarkDeleted(*m_context.current))
        AfterStoreChange();
}

void CallLogPanel::RestoreEntry()
{
    if (TakeSelected() && m_context.store.Restore(*m_context.current))
        AfterStoreChange();
}

// The recording the entry still has is copied into the deleted folder first.
void CallLogPanel::DeletePermanently()
{
    if (TakeSelected()
        && m_context.prompter.AskYesNo(
            tr("Are you sure you want to delete permanently ?").toStdString(), tr(kDeleteTitle).toStdString())
        && m_context.store.RemoveAt(*m_context.current))
        AfterStoreChange();
}

// A change made on the voice mail tab shows all entries on the call log tab, so the changed
// entry can be found there (under its label "All" or, once deleted, under "Deleted").
void CallLogPanel::AfterStoreChange()
{
    if (m_kind == Kind::VoiceMail && m_context.callLogPage)
        m_context.callLogPage->SetFilter(CallLogStore::kFilterAll);
    m_context.current.reset();
    for (CallLogPanel* page : { m_context.callLogPage, m_context.voiceMailPage })
        if (page)
            page->m_player->Stop();
    m_context.SaveAndReload();
}

QMenu* CallLogPanel::CreateTypeMenu(QWidget* parent)
{
    auto* menu = new QMenu(tr("Type"), parent);
    for (const TypeChoice& choice : kTypeChoices) {
        if (!choice.command) {
            menu->addSeparator();
            continue;
        }
        const std::int32_t filter = choice.filter;
        menu->addAction(tr(choice.command), this, [this, filter] { SetFilter(filter); });
    }
    return menu;
}

QMenu* CallLogPanel::CreateEntryMenu(QWidget* parent)
{
    auto* menu = new QMenu(tr("Calls"), parent);
    if (m_kind == Kind::CallLog && Filter() == CallLogStore::kFilterDeleted) {
        menu->addAction(tr("&Restore"), this, &CallLogPanel::RestoreEntry);
        menu->addSeparator();
        menu->addAction(tr("Delete &permanently"), this, &CallLogPanel::DeletePermanently);
        return menu;
    }
    menu->addAction(tr("&Call"), this, &CallLogPanel::CallEntry);
    menu->addAction(tr("De&tails..."), this, &CallLogPanel::ShowDetails);
    menu->addSeparator();
    menu->addAction(tr("&Save to contact..."), this, &CallLogPanel::SaveToContact);
    menu->addAction(tr("&Delete"), this, &CallLogPanel::DeleteEntry);
    return menu;
}

// Under the label, its left edge 2 pixels left of the label's.
void CallLogPanel::OpenTypeMenu()
{
    QMenu* menu = CreateTypeMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(m_typeLabel->mapToGlobal(QPoint(-2, m_typeLabel->height())));
}

void CallLogPanel::OpenEntryMenu(const QPoint& position)
{
    QMenu* menu = CreateEntryMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(m_list->viewport()->mapToGlobal(position));
}

void CallLogPanel::OnSelectionChanged()
{
    if (m_filling || !m_context.window.FollowsSelection())
        return;
    m_context.window.RefreshCallDisplay();
    FollowSelection();
}

// The player works on the selected entry; a new selection stops what played before.
void CallLogPanel::FollowSelection()
{
    const std::optional<std::size_t> selected = m_model->Position(m_list->currentIndex().row());
    if (selected != m_context.current)
        m_player->Stop();
    m_context.current = selected;
    m_player->UpdateButtons();
}

// A page shown again acts on its own selection, unless its player is busy.
void CallLogPanel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    FillIfPending();
    if (m_player->GetState() == PlaybackControls::State::Stopped && m_list->currentIndex().isValid())
        FollowSelection();
    else
        m_player->UpdateButtons();
}

bool CallLogPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_typeLabel && event->type() == QEvent::MouseButtonPress) {
        OpenTypeMenu();
        return true;
    }
    if (watched == m_list->viewport() && event->type() == QEvent::Resize)
        FitNameColumn();
    return QWidget::eventFilter(watched, event);
}

VoiceMailPanel::VoiceMailPanel(CallLogContext& context, QWidget* parent)
    : CallLogPanel(context, Kind::VoiceMail, parent)
{
}
