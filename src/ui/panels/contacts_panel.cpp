#include "ui/panels/contacts_panel.h"

#include "settings/prompter.h"
#include "store/contact_store.h"
#include "store/data_folder.h"
#include "store/redial_store.h"
#include "store/speed_dial_store.h"
#include "store/text_limit.h"
#include "telephony/colleague_lines.h"
#include "telephony/line_manager.h"
#include "telephony/main_window_link.h"
#include "ui/panels/contact_dialog.h"
#include "ui/panels/contact_tree_model.h"
#include "ui/panels/edit_entry_dialog.h"
#include "ui/panels/edit_groups_dialog.h"
#include "ui/panels/line_state_look.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <utility>

namespace {

constexpr const char* kAllGroups = QT_TRANSLATE_NOOP("ContactsPanel", "All");
constexpr const char* kUnfiled = "Unfiled";
constexpr int kFirstGroupCommand = 32854;

// The speed-dial buttons' width at 100 %, and the gaps around the tree and the speed-dial frame.
constexpr int kButtonWidth = 128;
constexpr int kMargin = 6, kFrameBottomGap = 8;
constexpr int kSpeedRows = 5;

// Texts shown on buttons and menu items: "&" is a character there, not a mnemonic.
QString WithoutMnemonics(QString text)
{
    return text.replace('&', "&&");
}

std::string Limited(std::string_view text)
{
    return std::string(CutToLimit(text, ContactsPanel::kTextLimit));
}

// The label of a group filter: "All" in the user's language, a group by its stored name.
QString ShownGroup(const QString& filter)
{
    return filter == QLatin1String(kAllGroups) ? ContactsPanel::tr(kAllGroups) : filter;
}

} // namespace

ContactsPanel::ContactsPanel(ContactStore& contacts, SpeedDialStore& speedDials, RedialStore& redial,
    LineManager& lines, Prompter& prompter, QWidget* parent)
    : QWidget(parent)
    , m_contacts(contacts)
    , m_speedDials(speedDials)
    , m_redial(redial)
    , m_lines(lines)
    , m_prompter(prompter)
{
    CreateControls();
    CreateSpeedButtons();
    ConnectTree();
    CreateLayout();
    m_model->SetLineStates([this](std::string_view number) { return m_lines.Colleagues().StateOf(number); });
    m_lines.Colleagues().SetChangeHandler([this] { ShowLineStates(); });
}

ContactsPanel::~ContactsPanel()
{
    m_lines.Colleagues().SetChangeHandler({});
}

void ContactsPanel::CreateControls()
{
    m_model = new ContactTreeModel(m_contacts, this);
    m_tree = new QTreeView(this);
    m_tree->setModel(m_model);
    m_tree->setHeaderHidden(true);
    m_tree->setUniformRowHeights(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tree->setDragDropMode(QAbstractItemView::NoDragDrop);
    m_tree->setExpandsOnDoubleClick(false);
    m_tree->setMouseTracking(true);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    m_tree->setAccessibleName(tr("Contacts"));

    m_groupButton = new QToolButton(this);
    m_groupButton->setAutoRaise(true);
    m_groupButton->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    m_groupButton->setToolTip(tr("Groups"));
    m_groupButton->setAccessibleName(tr("Groups"));
    m_groupButton->setAccessibleDescription(tr("Choose the group of contacts to show"));
    m_groupLabel = new QLabel(ShownGroup(m_groupFilter), this);
    m_groupLabel->setTextFormat(Qt::PlainText);
    m_groupLabel->setCursor(Qt::PointingHandCursor);
    m_groupLabel->setContextMenuPolicy(Qt::CustomContextMenu);
    m_groupLabel->installEventFilter(this);
    m_counter = new QLabel(tr("Total: %1").arg(0), this);
    m_counter->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    connect(m_groupButton, &QToolButton::clicked, this, &ContactsPanel::OpenGroupMenu);
    connect(m_groupLabel, &QLabel::customContextMenuRequested, this, &ContactsPanel::OpenGroupMenu);
}

void ContactsPanel::CreateSpeedButtons()
{
    m_speedFrame = new QGroupBox(tr("Speed Dial"), this);
    auto* grid = new QGridLayout(m_speedFrame);
    grid->setSpacing(1);
    for (int slot = 0; slot < kSpeedButtonCount; ++slot) {
        auto* button = new QPushButton(m_speedFrame);
        button->setFixedWidth(kButtonWidth);
        grid->addWidget(button, slot % kSpeedRows, slot / kSpeedRows);
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(button, &QPushButton::clicked, this, [this, slot] { SpeedButtonClicked(slot); });
        connect(
            button, &QPushButton::customContextMenuRequested, this, [this, slot, button](const QPoint& at) {
                ShowMenu(CreateSpeedMenu(slot, this), button->mapToGlobal(at));
            });
        m_speedButtons[std::size_t(slot)] = button;
    }
}

void ContactsPanel::ConnectTree()
{
    connect(m_tree, &QTreeView::doubleClicked, this, [this] { ActivateSelection(true); });
    connect(m_tree, &QTreeView::customContextMenuRequested, this, &ContactsPanel::OnTreeContextMenu);
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
        &ContactsPanel::OnSelectionChanged);
    // Single-expand: opening a contact closes the one opened before.
    connect(m_tree, &QTreeView::expanded, this, [this](const QModelIndex& opened) {
        for (const QModelIndex& other : OpenedContacts())
            if (other != opened)
                m_tree->collapse(other);
        m_opened = opened;
    });
}

// The contact open is remembered as it opens, instead of asking the tree about each of its rows
// (tens of thousands); a fill forgets it.
QModelIndexList ContactsPanel::OpenedContacts() const
{
    if (m_opened.isValid() && m_tree->isExpanded(m_opened))
        return { m_opened };
    return {};
}

void ContactsPanel::SetImageSource(std::function<QIcon(int)> source)
{
    m_model->SetImageSource(std::move(source));
}

bool ContactsPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_groupLabel && event->type() == QEvent::MouseButtonRelease)
        OpenGroupMenu();
    return QWidget::eventFilter(watched, event);
}

// The group menu opens at the label's bottom-left corner, two pixels to the left.
void ContactsPanel::OpenGroupMenu()
{
    ShowMenu(CreateGroupMenu(this), m_groupLabel->mapToGlobal(QPoint(-2, m_groupLabel->height())));
}

void ContactsPanel::ShowMenu(QMenu* menu, const QPoint& globalPosition)
{
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPosition);
}

void ContactsPanel::SetSearchText(const QString& text)
{
    m_searchText = text;
    FillContactTree(false);
}

void ContactsPanel::FillContactTree(bool force)
{
    const std::string group = Limited(m_groupFilter.toStdString());
    const std::string text = Limited(m_searchText.toStdString());
    if (force)
        UpdateSpeedButtons();
    m_filling = true;
    m_model->Fill(group, text, force);
    m_tree->setCurrentIndex(m_model->SelectionAfterFill(text.empty()));
    m_counter->setText(tr("Total: %1").arg(m_model->ShownCount()));
    m_filling = false;
    RefreshCommands();
}

void ContactsPanel::OnSelectionChanged()
{
    if (!m_filling)
        RefreshCommands();
}

void ContactsPanel::RefreshCommands()
{
    if (MainWindowLink* window = m_lines.ReadyWindow())
        window->UpdateControls();
}

bool ContactsPanel::IsContactsTabShown() const
{
    const MainWindowLink* window = m_lines.ReadyWindow();
    return !window || window->CurrentPage() == WindowPage::Contacts;
}

void ContactsPanel::FocusSearchBox()
{
    if (m_searchBox.focus)
        m_searchBox.focus();
}

QModelIndex ContactsPanel::Selected() const
{
    return m_tree->currentIndex();
}

const ContactRecord* ContactsPanel::SelectedContact() const
{
    const long long position = m_model->ItemData(Selected());
    return position == ContactTreeModel::kAddNewItem ? nullptr
                                                     : std::as_const(m_contacts).GetAt(std::size_t(position));
}

std::filesystem::path ContactsPanel::DataFile(std::string_view name) const
{
    return m_lines.DataFolder() / name;
}

bool ContactsPanel::SaveContacts()
{
    return m_contacts.Save(DataFile(ContactStore::kFileName));
}

void ContactsPanel::ActivateSelection(bool fromDoubleClick)
{
    if (!IsContactsTabShown())
        return;
    const QModelIndex selected = Selected();
    if (fromDoubleClick && selected.isValid()
        && m_model->ItemData(selected) == ContactTreeModel::kAddNewItem) {
        NewContact();
        return;
    }
    if (const ContactRecord* contact = SelectedContact()) {
        const std::string number = m_model->NumberOf(selected);
        if (!number.empty()) {
            DialFromContacts(std::string(contact->DisplayName()), number);
            return;
        }
        m_prompter.ShowMessage(tr("No phone number to call").toStdString(), "Kestrium", Prompter::Icon::Stop);
        FocusSearchBox();
        return;
    }
    const std::string typed = Limited(m_searchText.toStdString());
    if (!typed.empty())
        DialFromContacts(std::string(), typed);
}

bool ContactsPanel::HasDialableSelection() const
{
    return !m_model->NumberOf(Selected()).empty();
}

// The line manager splits a "name, number" text without a name, records the pair on the redial
// list and saves it before it looks for a line.
bool ContactsPanel::DialFromContacts(const std::string& name, const std::string& text)
{
    const bool placed = m_lines.DialAndRemember(m_redial, Limited(name), Limited(text));
    if (m_searchBox.updateButtons)
        m_searchBox.updateButtons();
    return placed;
}

ContactExchangeResult ContactsPanel::ImportContacts(const std::filesystem::path& file)
{
    ContactExchangeResult result = ::ImportContacts(file, m_contacts, m_lines.DataFolder());
    FillContactTree(true);
    UpdateSpeedButtons();
    return result;
}

ContactExchangeResult ContactsPanel::ExportContacts(
    const std::filesystem::path& file, VCardVersion version) const
{
    return ContactExchange::ExportFile(file, m_contacts, version);
}

void ContactsPanel::NewContact()
{
    NewContactFrom(ContactRecord());
}

void ContactsPanel::NewContactFrom(ContactRecord record)
{
    if (ContactDialog::Run(
            record, m_contacts, m_speedDials, DataFile(SpeedDialStore::kFileName), m_prompter, this)
        && m_contacts.Append(record)) {
        SaveContacts();
        FillContactTree(true);
    }
    UpdateSpeedButtons();
    FocusSearchBox();
}

void ContactsPanel::EditContact()
{
    const long long position = m_model->ItemData(Selected());
    if (position == ContactTreeModel::kAddNewItem)
        return;
    ContactRecord copy(*std::as_const(m_contacts).GetAt(std::size_t(position)));
    if (ContactDialog::Run(
            copy, m_contacts, m_speedDials, DataFile(SpeedDialStore::kFileName), m_prompter, this)) {
        m_contacts.GetAt(std::size_t(position))->Assign(copy);
        SaveContacts();
        FillContactTree(true);
    }
    FocusSearchBox();
    UpdateSpeedButtons();
}

// A number item deletes its whole contact.
void ContactsPanel::DeleteContact()
{
    const long long position = m_model->ItemData(Selected());
    if (position == ContactTreeModel::kAddNewItem)
        return;
    if (m_prompter.AskYesNo(tr("Are you sure ?").toStdString(), tr("Delete contact").toStdString())) {
        m_contacts.RemoveAt(std::size_t(position));
        SaveContacts();
        FillContactTree(true);
    }
    FocusSearchBox();
}

// The speed-dial file is written at shutdown.
void ContactsPanel::AddToSpeedDial(int slot)
{
    const ContactRecord* contact = SelectedContact();
    if (!contact)
        return;
    m_speedDials.SetSlot(slot, *contact);
    FocusSearchBox();
    UpdateSpeedButtons();
}

void ContactsPanel::SelectGroup(const QString& group)
{
    m_groupFilter = group;
    m_groupLabel->setText(ShownGroup(group));
    m_searchText.clear();
    if (m_searchBox.clear)
        m_searchBox.clear();
    FillContactTree(true);
    FocusSearchBox();
}

void ContactsPanel::EditGroups()
{
    EditGroupsDialog::Run(m_contacts, m_lines.DataFolder(), m_prompter, this);
    SelectGroup(kAllGroups);
}

void ContactsPanel::SpeedButtonClicked(int slot)
{
    const ContactRecord* entry = m_speedDials.GetSlot(slot);
    if (!entry)
        return;
    if (!entry->DefaultNumber().empty()) {
        DialFromContacts(std::string(entry->DisplayName()), std::string(entry->DefaultNumber()));
        return;
    }
    EditSpeedEntry(slot);
    FocusSearchBox();
}

void ContactsPanel::EditSpeedEntry(int slot)
{
    ContactRecord* entry = m_speedDials.GetSlot(slot);
    if (entry && EditEntryDialog::Run(*entry, this))
        UpdateSpeedButtons();
}

void ContactsPanel::ClearSpeedEntry(int slot)
{
    if (!m_speedDials.GetSlot(slot)
        || !m_prompter.AskYesNo(tr("Are you sure ?").toStdString(), tr("Delete entry").toStdString()))
        return;
    m_speedDials.SetSlot(slot, ContactRecord());
    m_speedDials.Save(DataFile(SpeedDialStore::kFileName));
    UpdateSpeedButtons();
}

QMenu* ContactsPanel::CreateGroupMenu(QWidget* parent)
{
    auto* menu = new QMenu(parent);
    menu->addAction(tr(kAllGroups), this, [this] { SelectGroup(kAllGroups); });
    menu->addSeparator();
    const GroupStore& groups = m_contacts.Groups();
    for (std::size_t position : groups.MenuGroups()) {
        const QString name = QString::fromStdString(*groups.GetAt(position));
        QAction* item = menu->addAction(WithoutMnemonics(name), this, [this, name] { SelectGroup(name); });
        item->setData(kFirstGroupCommand + int(position));
    }
    menu->addAction(kUnfiled, this, [this] { SelectGroup(kUnfiled); });
    menu->addSeparator();
    menu->addAction(tr("Edit groups..."), this, &ContactsPanel::EditGroups);
    return menu;
}

QMenu* ContactsPanel::CreateTreeMenu(QWidget* parent)
{
    auto* menu = new QMenu(parent);
    const ContactRecord* contact = SelectedContact();
    AddPickupAction(*menu, contact ? RingingNumber(*contact, m_model->NumberOf(Selected())) : std::string(),
        contact ? std::string(contact->DisplayName()) : std::string());
    QMenu* groups = CreateGroupMenu(menu);
    groups->setTitle(tr("&Groups"));
    menu->addMenu(groups);
    menu->addSeparator();
    menu->addAction(tr("&New contact..."), this, &ContactsPanel::NewContact);
    menu->addAction(tr("&Edit contact..."), this, &ContactsPanel::EditContact);
    menu->addAction(tr("&Delete"), this, &ContactsPanel::DeleteContact);
    menu->addSeparator();
    QMenu* speedDial = menu->addMenu(tr("Add to &speed-dial"));
    for (int slot = 0; slot < kSpeedButtonCount; ++slot)
        speedDial->addAction(
            tr("Add to speed-dial %1").arg(slot + 1), this, [this, slot] { AddToSpeedDial(slot); });
    return menu;
}

QMenu* ContactsPanel::CreateSpeedMenu(int slot, QWidget* parent)
{
    auto* menu = new QMenu(parent);
    const ContactRecord& entry = *m_speedDials.GetSlot(slot);
    AddPickupAction(*menu, RingingNumber(entry, entry.DefaultNumber()), std::string(entry.DisplayName()));
    menu->addAction(tr("&Edit entry..."), this, [this, slot] { EditSpeedEntry(slot); });
    menu->addAction(tr("&Clear entry"), this, [this, slot] { ClearSpeedEntry(slot); });
    return menu;
}

std::string ContactsPanel::RingingNumber(const ContactRecord& record, std::string_view preferred) const
{
    ColleagueLines& colleagues = m_lines.Colleagues();
    if (!preferred.empty() && colleagues.StateOf(preferred) == ColleagueLines::State::Ringing)
        return std::string(preferred);
    for (int slot = 0; slot < ContactRecord::kNumberCount; ++slot)
        if (const std::string_view number = record.Number(slot);
            !number.empty() && colleagues.StateOf(number) == ColleagueLines::State::Ringing)
            return std::string(number);
    return {};
}

// "Pick up" heads the menu; it is offered only while the colleague's line rings.
void ContactsPanel::AddPickupAction(QMenu& menu, const std::string& number, const std::string& name)
{
    QAction* pickUp = menu.addAction(LineStateIcon(ColleagueLines::State::Ringing), tr("&Pick up"), this,
        [this, number, name] { m_lines.PickUpColleague(number, name); });
    pickUp->setEnabled(!number.empty());
    menu.addSeparator();
}

// The item under the cursor becomes the selection; the add-new item has no menu.
void ContactsPanel::OnTreeContextMenu(const QPoint& position)
{
    const QModelIndex item = m_tree->indexAt(position);
    if (item.isValid())
        m_tree->setCurrentIndex(item);
    if (m_model->ItemData(Selected()) == ContactTreeModel::kAddNewItem)
        return;
    ShowMenu(CreateTreeMenu(this), m_tree->viewport()->mapToGlobal(position));
}

void ContactsPanel::UpdateSpeedButtons()
{
    WatchColleagues();
    ShowSpeedButtons();
}

void ContactsPanel::WatchColleagues()
{
    // Only colleague numbers are passed on: a large address book holds few of them.
    std::vector<std::string_view> numbers;
    const auto add = [&numbers](const ContactRecord& record) {
        for (int slot = 0; slot < ContactRecord::kNumberCount; ++slot)
            if (const std::string_view number = record.Number(slot);
                !number.empty() && ColleagueLines::IsColleagueNumber(number))
                numbers.push_back(number);
    };
    for (int slot = 0; slot < kSpeedButtonCount; ++slot)
        add(*m_speedDials.GetSlot(slot));
    // Read through the const store: a writable record would drop the store's prepared tree order.
    const ContactStore& contacts = m_contacts;
    for (std::size_t i = 0; i < contacts.Count(); ++i)
        add(*contacts.GetAt(i));
    m_lines.Colleagues().SetNumbers(numbers);
}

void ContactsPanel::ShowLineStates()
{
    m_model->LineStatesChanged(OpenedContacts());
    ShowSpeedButtons();
}

// A screen reader says the slot and the whole name (and the line's state when it is known), or
// that the slot is empty. The state is the entry's default number's.
void ContactsPanel::ShowSpeedButtons()
{
    for (int slot = 0; slot < kSpeedButtonCount; ++slot) {
        QPushButton* button = SpeedButton(slot);
        const ContactRecord& entry = *m_speedDials.GetSlot(slot);
        const QString state = LineStateText(m_lines.Colleagues().StateOf(entry.DefaultNumber()));
        button->setIcon(LineStateIcon(m_lines.Colleagues().StateOf(entry.DefaultNumber())));
        button->setToolTip(state);
        const int iconWidth = state.isEmpty() ? 0 : button->iconSize().width() + 4;
        button->setText(WithoutMnemonics(ShortenedSpeedText(slot, iconWidth)));
        const std::string_view shown = entry.DisplayName();
        const QString name = QString::fromUtf8(shown.data(), qsizetype(shown.size()));
        QString accessible = name.isEmpty() ? tr("Speed dial %1, empty").arg(slot + 1)
                                            : tr("Speed dial %1: %2").arg(QString::number(slot + 1), name);
        if (!state.isEmpty() && !name.isEmpty())
            accessible += ", " + state;
        button->setAccessibleName(accessible);
    }
}

// The display name, cut character by character until it fits the button beside its icon, with
// "..." appended (not measured) when anything was cut; "..." alone for an empty slot.
QString ContactsPanel::ShortenedSpeedText(int slot, int iconWidth) const
{
    const QString name = QString::fromUtf8(m_speedDials.GetSlot(slot)->DisplayName());
    if (name.isEmpty())
        return "...";
    const QPushButton* button = SpeedButton(slot);
    const QFontMetrics metrics(button->font());
    const int width = button->width()
        - 2 * button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) - iconWidth;
    QString shown = name;
    while (!shown.isEmpty() && metrics.horizontalAdvance(shown) > width)
        shown.chop(1);
    return shown.size() < name.size() ? shown + "..." : shown;
}

void ContactsPanel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    ShowSpeedButtons();
}

// The group button, the group's name and the counter on top; the tree takes the room between
// them and the speed-dial frame, which keeps its size, centred above the bottom edge.
void ContactsPanel::CreateLayout()
{
    auto* top = new QHBoxLayout;
    top->addWidget(m_groupButton);
    top->addWidget(m_groupLabel, 1);
    top->addWidget(m_counter);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kFrameBottomGap);
    layout->setSpacing(kMargin);
    layout->addLayout(top);
    layout->addWidget(m_tree, 1);
    layout->addWidget(m_speedFrame, 0, Qt::AlignHCenter);
}
