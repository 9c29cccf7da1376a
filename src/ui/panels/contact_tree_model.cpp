#include "ui/panels/contact_tree_model.h"

#include "store/contact_store.h"
#include "store/locale_compare.h"
#include "ui/panels/line_state_look.h"

#include <algorithm>

ContactTreeModel::ContactTreeModel(ContactStore& contacts, QObject* parent)
    : QAbstractItemModel(parent)
    , m_contacts(contacts)
{
}

void ContactTreeModel::SetImageSource(std::function<QIcon(int)> source)
{
    m_images = std::move(source);
    if (!m_rows.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), { Qt::DecorationRole });
}

bool ContactTreeModel::Fill(std::string_view group, std::string_view text, bool force)
{
    const bool narrow = m_contacts.CanNarrowContactTree(group, text, force);
    beginResetModel();
    if (narrow)
        Narrow(text);
    else
        Rebuild(group, text);
    endResetModel();
    m_contacts.RememberContactTreeFill(group, text, ShownCount());
    return narrow;
}

// The add-new item takes its alphabetical place among the contacts like any other root item: its
// leading parenthesis puts it first, except before contacts without a display name.
void ContactTreeModel::Rebuild(std::string_view group, std::string_view text)
{
    const std::vector<std::size_t> shown = m_contacts.ContactTreeEntries(group, text);
    const auto addNewPlace = std::partition_point(shown.begin(), shown.end(), [this](std::size_t position) {
        return CompareTextNoCase(Contacts().GetAt(position)->DisplayName(), kAddNewText) < 0;
    });
    // The number counts are read in store order: read in tree order, nearly every contact would be
    // a cache miss.
    std::vector<int> numbers(Contacts().Count());
    for (std::size_t position = 0; position < numbers.size(); ++position)
        numbers[position] = Contacts().GetAt(position)->NumberCount();
    m_rows.clear();
    m_rows.reserve(shown.size() + 1);
    for (auto position = shown.begin(); position != shown.end(); ++position) {
        if (position == addNewPlace)
            m_rows.push_back({ kAddNewItem, 0 });
        m_rows.push_back({ static_cast<long long>(*position), numbers[*position] });
    }
    if (addNewPlace == shown.end())
        m_rows.push_back({ kAddNewItem, 0 });
}

// A position the store no longer holds (contacts removed without a forced fill) goes as well.
// The contacts shown are matched in store order, which reads their records in memory order
// instead of jumping about in alphabetical order.
void ContactTreeModel::Narrow(std::string_view text)
{
    std::vector<char> keep(m_contacts.Count(), 0);
    for (const Row& row : m_rows) {
        if (row.item != kAddNewItem && std::size_t(row.item) < keep.size())
            keep[std::size_t(row.item)] = 1;
    }
    const std::string digits = ContactStore::SearchDigits(text);
    for (std::size_t position = 0; position < keep.size(); ++position) {
        if (keep[position])
            keep[position] = ContactStore::MatchesSearch(*Contacts().GetAt(position), text, digits);
    }
    std::erase_if(m_rows, [&keep](const Row& row) {
        return row.item != kAddNewItem
            && (std::size_t(row.item) >= keep.size() || !keep[std::size_t(row.item)]);
    });
}

QModelIndex ContactTreeModel::SelectionAfterFill(bool searchTextEmpty) const
{
    return index(int(ContactStore::ContactTreeSelection(m_rows.size(), searchTextEmpty)), 0);
}

long long ContactTreeModel::ItemData(const QModelIndex& item) const
{
    if (!item.isValid())
        return kAddNewItem;
    const QModelIndex root = IsNumberItem(item) ? item.parent() : item;
    return m_rows[std::size_t(root.row())].item;
}

const ContactRecord* ContactTreeModel::ContactOf(const QModelIndex& item) const
{
    const long long position = ItemData(item);
    return position == kAddNewItem ? nullptr : Contacts().GetAt(std::size_t(position));
}

std::string ContactTreeModel::NumberOf(const QModelIndex& item) const
{
    const ContactRecord* contact = ContactOf(item);
    if (!contact)
        return {};
    return std::string(IsNumberItem(item) ? contact->Number(ChildSlot(item)) : contact->DefaultNumber());
}

int ContactTreeModel::ChildSlot(const QModelIndex& item) const
{
    const std::vector<int> numbers = ContactStore::NumberChildSlots(*ContactOf(item));
    const std::size_t row = std::size_t(item.row());
    // A contact that lost numbers behind the tree's back until the next fill: no slot (empty).
    return row < numbers.size() ? numbers[row] : -1;
}

// Root items carry 0 as internal id, number items the row of their contact plus one.
QModelIndex ContactTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0 || row >= rowCount(parent))
        return {};
    return createIndex(row, column, parent.isValid() ? quintptr(parent.row() + 1) : 0);
}

QModelIndex ContactTreeModel::parent(const QModelIndex& child) const
{
    if (!IsNumberItem(child))
        return {};
    return createIndex(int(child.internalId() - 1), 0, quintptr(0));
}

int ContactTreeModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return int(m_rows.size());
    if (IsNumberItem(parent) || parent.column() != 0)
        return 0;
    return m_rows[std::size_t(parent.row())].numbers;
}

int ContactTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant ContactTreeModel::data(const QModelIndex& item, int role) const
{
    if (!item.isValid())
        return {};
    if (role == Qt::DecorationRole)
        return Decoration(item);
    if (role == Qt::ToolTipRole) {
        const QString state = LineStateText(LineState(item));
        return state.isEmpty() ? QVariant() : QVariant(state);
    }
    if (role != Qt::DisplayRole)
        return {};
    const ContactRecord* contact = ContactOf(item);
    if (!contact)
        return tr(kAddNewText);
    if (IsNumberItem(item))
        return QString::fromStdString(m_contacts.NumberChildText(*contact, ChildSlot(item)));
    return QString::fromUtf8(contact->DisplayName());
}

// The states are ordered from nothing known to in a call: the largest is the most active.
ColleagueLines::State ContactTreeModel::LineState(const QModelIndex& item) const
{
    const ContactRecord* contact = ContactOf(item);
    if (!m_lineStates || !contact)
        return ColleagueLines::State::Unknown;
    if (IsNumberItem(item))
        return m_lineStates(contact->Number(ChildSlot(item)));
    ColleagueLines::State most = ColleagueLines::State::Unknown;
    for (int slot : ContactStore::NumberChildSlots(*contact))
        most = std::max(most, m_lineStates(contact->Number(slot)));
    return most;
}

void ContactTreeModel::LineStatesChanged(const QModelIndexList& opened)
{
    const int rows = rowCount();
    if (rows == 0)
        return;
    const QList<int> roles = { Qt::DecorationRole, Qt::ToolTipRole };
    emit dataChanged(index(0, 0), index(rows - 1, 0), roles);
    for (const QModelIndex& parent : opened)
        if (const int children = rowCount(parent); children > 0)
            emit dataChanged(index(0, 0, parent), index(children - 1, 0, parent), roles);
}

QVariant ContactTreeModel::Decoration(const QModelIndex& item) const
{
    if (const ColleagueLines::State state = LineState(item); state != ColleagueLines::State::Unknown)
        return LineStateIcon(state);
    if (!m_images)
        return {};
    const ContactRecord* contact = ContactOf(item);
    if (!contact)
        return m_images(kAddNewImage);
    if (IsNumberItem(item))
        return m_images(ContactStore::NumberChildImage(contact->LabelIndex(ChildSlot(item))));
    return m_images(kContactImage);
}
