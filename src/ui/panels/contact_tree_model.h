#pragma once

#include "telephony/colleague_lines.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QIcon>

#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

class ContactStore;
class ContactRecord;

// The contacts tree over the ContactStore, which stays the owner of the contacts: the root items
// are the add-new item and the contacts shown (by store position, in alphabetical order of their
// display names), each contact's children its non-empty numbers from slot 10 down to slot 1.
// Positions are only valid until the store changes; the owner refills after every change.
class ContactTreeModel : public QAbstractItemModel {
    Q_DECLARE_TR_FUNCTIONS(ContactTreeModel)

public:
    // Sorted by this text; shown in the user's language.
    static constexpr const char* kAddNewText
        = QT_TRANSLATE_NOOP("ContactTreeModel", "(double-click here to add a new contact...)");
    static constexpr int kAddNewImage = 27;
    static constexpr int kContactImage = 0;
    // What ItemData gives for the add-new item (contacts and numbers give the contact's position).
    static constexpr long long kAddNewItem = -1;

    explicit ContactTreeModel(ContactStore& contacts, QObject* parent = nullptr);

    // The icon of an image index; without a source the items have no icons.
    void SetImageSource(std::function<QIcon(int)> source);
    // What a number's line is doing (colleagues' lines): a known state shows as the number's icon
    // and tooltip, and the most active of a contact's numbers as the contact's.
    using LineStateSource = std::function<ColleagueLines::State(std::string_view number)>;
    void SetLineStates(LineStateSource source) { m_lineStates = std::move(source); }
    // The states changed: the views ask for the contacts' icons and tooltips again, and for those
    // of the number rows under `opened` (the contacts a view shows open). A tree view searches all
    // its rows for each hidden row it is told of, so closed contacts' numbers are not announced:
    // they are read when opened.
    void LineStatesChanged(const QModelIndexList& opened);

    // Fills the tree for the group and search text. Without force, for the same group (exact) and
    // a text that begins with the last one, only the contacts that no longer match are removed
    // (narrowing); otherwise the tree is rebuilt from the store. True when it narrowed.
    bool Fill(std::string_view group, std::string_view text, bool force);
    // The number of contacts shown (the add-new item not counted).
    std::size_t ShownCount() const { return m_rows.size() - 1; }
    // The root item to select after a fill.
    QModelIndex SelectionAfterFill(bool searchTextEmpty) const;

    // The add-new item's kAddNewItem, or the contact's store position; for an invalid index too
    // kAddNewItem.
    long long ItemData(const QModelIndex& index) const;
    bool IsNumberItem(const QModelIndex& index) const { return index.isValid() && index.internalId() != 0; }
    const ContactRecord* ContactOf(const QModelIndex& index) const;
    // The number a selected item dials: a number item's own number, a contact's default number.
    std::string NumberOf(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    void Rebuild(std::string_view group, std::string_view text);
    void Narrow(std::string_view text);
    int ChildSlot(const QModelIndex& index) const;
    QVariant Decoration(const QModelIndex& index) const;
    // Reading through the const store keeps its prepared tree order.
    const ContactStore& Contacts() const { return m_contacts; }
    ColleagueLines::State LineState(const QModelIndex& index) const;

    ContactStore& m_contacts;
    // One entry per root item: kAddNewItem or a store position, with the number of its number
    // children, which the view asks of every root item it lays out.
    struct Row {
        long long item;
        int numbers;
    };
    std::vector<Row> m_rows{ { kAddNewItem, 0 } };
    std::function<QIcon(int)> m_images;
    LineStateSource m_lineStates;
};
