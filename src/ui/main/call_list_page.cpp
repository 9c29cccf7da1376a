#include "ui/main/call_list_page.h"

#include "app/settings_store.h"
#include "res/images.h"
#include "store/call_log_store.h"
#include "store/redial_store.h"
#include "telephony/line_manager.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kEntryRole = Qt::UserRole;

QTreeWidgetItem* CreateItem(const CallLogEntry& entry, std::size_t position)
{
    auto* item = new QTreeWidgetItem;
    item->setIcon(0, Images::CallType(CallLogStore::CallListImage(entry)));
    // Caller names and numbers come from the line: plain text in a plain item.
    item->setText(0, QString::fromStdString(entry.NameOrNumber()));
    item->setText(1, QString::fromStdString(entry.startTime.DateText()));
    item->setText(2, QString::fromStdString(entry.startTime.TimeText()));
    item->setData(0, kEntryRole, qulonglong(position));
    for (int column = 0; column < CallListPage::kColumnCount; ++column)
        item->setTextAlignment(column, Qt::AlignCenter);
    return item;
}

} // namespace

CallListPage::CallListPage(CallLogStore& callLog, LineManager& lines, RedialStore& redial, QWidget* parent)
    : QWidget(parent)
    , m_callLog(callLog)
    , m_lines(lines)
    , m_redial(redial)
    , m_filter(CallLogStore::kFilterAll)
{
    m_filterLabel = new QLabel(this);
    m_filterLabel->setTextFormat(Qt::PlainText);
    m_list = new QTreeWidget(this);
    m_list->setRootIsDecorated(false);
    m_list->setColumnCount(kColumnCount);
    m_list->setHeaderLabels({ "Name/Number", "Date", "Time" });
    m_list->header()->setDefaultAlignment(Qt::AlignCenter);
    m_list->header()->setStretchLastSection(false);
    m_list->setIconSize(QSize(26, 18));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addWidget(m_filterLabel);
    layout->addWidget(m_list);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] { CallSelected(); });
}

void CallListPage::SetColumnWidths(const int (&widths)[kColumnCount])
{
    for (int column = 0; column < kColumnCount; ++column)
        m_list->setColumnWidth(column, widths[column]);
}

int CallListPage::ColumnWidth(int column) const
{
    return m_list->columnWidth(column);
}

void CallListPage::FillCallList(std::int32_t filter, const QString& label)
{
    m_filter = filter;
    m_filterLabel->setText(label);
    Refill();
}

void CallListPage::Refill()
{
    m_list->clear();
    QList<QTreeWidgetItem*> items;
    for (std::size_t position : m_callLog.CallListEntries(m_filter, {}))
        items.append(CreateItem(*m_callLog.GetAt(position), position));
    m_list->addTopLevelItems(items);
}

const CallLogEntry* CallListPage::SelectedEntry() const
{
    const QTreeWidgetItem* item = m_list->currentItem();
    return item ? m_callLog.GetAt(std::size_t(item->data(0, kEntryRole).toULongLong())) : nullptr;
}

// Placeholders such as "[Blocked]" stand where the caller sent no number.
bool CallListPage::SelectedIsCallable() const
{
    const CallLogEntry* entry = SelectedEntry();
    return entry && !entry->number.empty() && entry->number.front() != '[';
}

void CallListPage::CallSelected()
{
    if (!SelectedIsCallable())
        return;
    const CallLogEntry entry = *SelectedEntry();
    m_lines.DialAndRemember(m_redial, entry.callerName, entry.number);
}

void CallListPage::MarkMissedViewed(SettingsStore& settings)
{
    settings.Write(Settings::kMissedCallsViewedAt, std::int32_t(MissedCallStamp(CallTime::Now())));
}
