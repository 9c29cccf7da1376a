#include "ui/panels/call_log_model.h"

#include "res/images.h"
#include "store/call_log_store.h"
#include "ui/panels/call_time_text.h"

#include <algorithm>

CallLogModel::CallLogModel(const CallLogStore& store, QObject* parent)
    : QAbstractTableModel(parent)
    , m_store(store)
{
    for (std::size_t image = 0; image < m_images.size(); ++image)
        m_images[image] = Images::CallType(int(image));
}

void CallLogModel::Fill(std::int32_t filter)
{
    beginResetModel();
    m_positions = m_store.CallListEntries(filter, {});
    endResetModel();
}

std::optional<std::size_t> CallLogModel::Position(int row) const
{
    if (row < 0 || std::size_t(row) >= m_positions.size())
        return std::nullopt;
    return m_positions[std::size_t(row)];
}

int CallLogModel::RowOf(std::size_t position) const
{
    const auto found = std::find(m_positions.begin(), m_positions.end(), position);
    return found == m_positions.end() ? -1 : int(found - m_positions.begin());
}

int CallLogModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_positions.size());
}

int CallLogModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

// Caller names and numbers come from the line: they are shown as plain text by the item view.
QVariant CallLogModel::data(const QModelIndex& index, int role) const
{
    const std::optional<std::size_t> position = Position(index.row());
    const CallLogEntry* entry = position ? m_store.GetAt(*position) : nullptr;
    if (!entry)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == 0)
            return QString::fromStdString(entry->NameOrNumber());
        return index.column() == 1 ? ShownDate(entry->startTime) : ShownTime(entry->startTime);
    case Qt::DecorationRole:
        if (index.column() == 0) {
            const int image = CallLogStore::CallListImage(*entry);
            return image >= 0 && std::size_t(image) < m_images.size() ? m_images[std::size_t(image)]
                                                                      : QIcon();
        }
        return {};
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    default:
        return {};
    }
}

QVariant CallLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const kTitles[kColumnCount]
        = { QT_TR_NOOP("Name/Number"), QT_TR_NOOP("Date"), QT_TR_NOOP("Time") };
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return tr(kTitles[section]);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    return {};
}
