#pragma once

#include "store/contact_exchange.h"
#include "store/contact_record.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QIcon>
#include <QPersistentModelIndex>
#include <QWidget>

#include <array>
#include <filesystem>
#include <functional>
#include <string>

class ContactStore;
class ContactTreeModel;
class LineManager;
class Prompter;
class QGroupBox;
class QLabel;
class QMenu;
class QModelIndex;
class QPushButton;
class QToolButton;
class QTreeView;
class RedialStore;
class SpeedDialStore;

// The contacts tab: the contact tree filtered by a group and the search text, the group label and
// its menu, the "Total:" counter and the ten speed-dial buttons. Dialling records the name and
// number on the redial list and hands them to a free line.
class ContactsPanel : public QWidget {
    Q_DECLARE_TR_FUNCTIONS(ContactsPanel)

public:
    static constexpr int kSpeedButtonCount = 10;
    // Group and search text of a fill, and the name and number of a dial, are kept to 99 bytes.
    static constexpr std::size_t kTextLimit = 99;

    // What the panel needs from the main window's search/dial box; every action may be left empty.
    struct SearchBox {
        std::function<void()> focus;
        // Empty the box and reset its search-related buttons.
        std::function<void()> clear;
        // Show or hide the search-related buttons for the box's text.
        std::function<void()> updateButtons;
    };

    ContactsPanel(ContactStore& contacts, SpeedDialStore& speedDials, RedialStore& redial, LineManager& lines,
        Prompter& prompter, QWidget* parent = nullptr);
    ~ContactsPanel() override;

    void SetSearchBox(SearchBox box) { m_searchBox = std::move(box); }
    // The icons of the tree's image indexes (27 add-new, 0 contact, 9 phone, 19 internet number).
    void SetImageSource(std::function<QIcon(int)> source);

    // The search/dial box's text changed: the tree follows it (narrowing while it grows).
    void SetSearchText(const QString& text);
    QString SearchText() const { return m_searchText; }
    void FillContactTree(bool force);
    // The tree is being refilled: its selection changes are not the user's.
    bool IsFilling() const { return m_filling; }

    // Double-click or the main window's call command: dial the selection, create a contact from
    // the add-new item (double-click only) or dial the search text.
    void ActivateSelection(bool fromDoubleClick);
    bool HasDialableSelection() const;
    bool DialFromContacts(const std::string& name, const std::string& text);
    // The speed-dial buttons show their entries again, and the colleagues' lines watched follow
    // the contacts and speed dials.
    void UpdateSpeedButtons();

    // The commands of the tree's, the group label's and the speed buttons' menus.
    void NewContact();
    // The contact list exchanged with a vCard file; an import saves what it changed and refills
    // the tree.
    ContactExchangeResult ImportContacts(const std::filesystem::path& file);
    ContactExchangeResult ExportContacts(const std::filesystem::path& file, VCardVersion version) const;
    // The contact editor on a new contact filled in from `record`; on OK it is added and saved.
    void NewContactFrom(ContactRecord record);
    void EditContact();
    void DeleteContact();
    void AddToSpeedDial(int slot);
    // "All", "Unfiled" or a group name.
    void SelectGroup(const QString& group);
    void EditGroups();
    void SpeedButtonClicked(int slot);
    void EditSpeedEntry(int slot);
    void ClearSpeedEntry(int slot);

    // Freshly built menus, as they open.
    QMenu* CreateGroupMenu(QWidget* parent);
    QMenu* CreateTreeMenu(QWidget* parent);
    QMenu* CreateSpeedMenu(int slot, QWidget* parent);

    QString GroupFilter() const { return m_groupFilter; }
    QTreeView* Tree() const { return m_tree; }
    ContactTreeModel* Model() const { return m_model; }
    QLabel* Counter() const { return m_counter; }
    QLabel* GroupLabel() const { return m_groupLabel; }
    QPushButton* SpeedButton(int slot) const { return m_speedButtons[std::size_t(slot)]; }

protected:
    void showEvent(QShowEvent* event) override;
    // A click on the group label opens the group menu.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void CreateSpeedButtons();
    void ConnectTree();
    void CreateLayout();
    void ShowMenu(QMenu* menu, const QPoint& globalPosition);
    void OpenGroupMenu();
    void OnTreeContextMenu(const QPoint& position);
    void OnSelectionChanged();
    QModelIndex Selected() const;
    const ContactRecord* SelectedContact() const;
    bool IsContactsTabShown() const;
    void RefreshCommands();
    void FocusSearchBox();
    bool SaveContacts();
    std::filesystem::path DataFile(std::string_view name) const;
    QString ShortenedSpeedText(int slot, int iconWidth) const;
    void ShowSpeedButtons();
    // Hands every number of the contacts and speed dials to the colleagues' lines, which watch
    // those that are extensions or SIP addresses.
    void WatchColleagues();
    void ShowLineStates();
    // The contacts the tree shows open (one at most).
    QModelIndexList OpenedContacts() const;
    // The number of `record` whose colleague's line rings now (`preferred` first), empty when none.
    std::string RingingNumber(const ContactRecord& record, std::string_view preferred) const;
    void AddPickupAction(QMenu& menu, const std::string& number, const std::string& name);

    ContactStore& m_contacts;
    SpeedDialStore& m_speedDials;
    RedialStore& m_redial;
    LineManager& m_lines;
    Prompter& m_prompter;
    SearchBox m_searchBox;
    QString m_groupFilter = "All";
    QString m_searchText;
    bool m_filling = false;

    ContactTreeModel* m_model = nullptr;
    QTreeView* m_tree = nullptr;
    QPersistentModelIndex m_opened; // the contact last opened
    QToolButton* m_groupButton = nullptr;
    QLabel* m_groupLabel = nullptr;
    QLabel* m_counter = nullptr;
    QGroupBox* m_speedFrame = nullptr;
    std::array<QPushButton*, kSpeedButtonCount> m_speedButtons{};
};
