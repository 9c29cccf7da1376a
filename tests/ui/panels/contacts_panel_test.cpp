// The contacts tab offscreen over a line manager on the simulated exchange: the tree following the
// search text, contacts created, edited and deleted through the real "Contact:" dialog and read
// back from the contacts file, the group menu, and dialling with the redial list it feeds.
#include "support/telephony_scenario.h"

#include "store/contact_store.h"
#include "store/redial_store.h"
#include "store/speed_dial_store.h"
#include "ui/panels/contact_dialog.h"
#include "ui/panels/contact_tree_model.h"
#include "ui/panels/contacts_panel.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

#include <functional>
#include <memory>

namespace {

// The work slot (label "Work") of a new contact.
constexpr int kWorkSlot = 1;

ContactRecord Contact(const char* first, const char* last, const char* workNumber)
{
    ContactRecord record;
    record.SetFirstName(first);
    record.SetLastName(last);
    record.SetNumber(kWorkSlot, workNumber);
    record.SetDefaultNumberIndex(kWorkSlot);
    return record;
}

// Acts on the "Contact:" dialog once its modal loop runs; a dialog of another kind is closed so
// that the test fails instead of waiting.
void WhenContactDialogOpens(std::function<void(ContactDialog&)> act)
{
    QTimer::singleShot(0, [act] {
        auto* dialog = dynamic_cast<ContactDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            ADD_FAILURE() << "no \"Contact:\" dialog is open";
            if (QWidget* other = QApplication::activeModalWidget())
                other->close();
            return;
        }
        act(*dialog);
    });
}

class ContactsPanelScenario : public TelephonyScenario {
protected:
    void SetUp() override
    {
        TelephonyScenario::SetUp();
        m_contacts.Groups().Load(m_dir / "no-groups-file");
        m_panel = std::make_unique<ContactsPanel>(m_contacts, m_speedDials, m_redial, *m_manager, m_prompter);
        m_panel->SetSearchBox({ .focus = [this] { ++m_focused; }, .clear = {}, .updateButtons = {} });
        m_panel->resize(326, 420);
        m_panel->show();
    }
    void TearDown() override
    {
        m_panel.reset();
        TelephonyScenario::TearDown();
    }

    void Add(const ContactRecord& record) { ASSERT_TRUE(m_contacts.Append(record)); }

    // The root items' texts from the top.
    std::vector<std::string> RootTexts() const
    {
        std::vector<std::string> texts;
        const ContactTreeModel& model = *m_panel->Model();
        for (int row = 0; row < model.rowCount(); ++row)
            texts.push_back(model.index(row, 0).data().toString().toStdString());
        return texts;
    }
    std::string Selected() const { return m_panel->Tree()->currentIndex().data().toString().toStdString(); }
    std::string Counter() const { return m_panel->Counter()->text().toStdString(); }
    void Select(const std::string& text)
    {
        const ContactTreeModel& model = *m_panel->Model();
        for (int row = 0; row < model.rowCount(); ++row) {
            if (model.index(row, 0).data().toString().toStdString() == text)
                return m_panel->Tree()->setCurrentIndex(model.index(row, 0));
        }
        FAIL() << "no item " << text;
    }
    ContactStore SavedContacts()
    {
        ContactStore saved;
        saved.Load(m_dir / "KestriumContacts200.csv");
        return saved;
    }

    ContactStore m_contacts;
    SpeedDialStore m_speedDials{ m_contacts.Groups(), PhoneLabelStore() };
    RedialStore m_redial{ m_contacts.Groups(), PhoneLabelStore() };
    std::unique_ptr<ContactsPanel> m_panel;
    int m_focused = 0;
};

TEST_F(ContactsPanelScenario, TreeNarrowsWhileTheTextGrowsAndIsRebuiltOtherwise)
{
    Add(Contact("John", "Smith", "5551"));
    Add(Contact("Joan", "Lee", "5552"));
    Add(Contact("Bob", "Stone", "5553"));
    ContactRecord companyOnly;
    companyOnly.SetCompany("Jolly Ltd");
    companyOnly.SetNumber(0, "5554");
    companyOnly.SetNumber(2, "5559");
    Add(companyOnly);
    m_panel->FillContactTree(true);
    EXPECT_EQ(RootTexts(),
        (std::vector<std::string>{
            "", ContactTreeModel::kAddNewText, "Bob Stone (Work)", "Joan Lee (Work)", "John Smith (Work)" }))
        << "a contact without a display name sorts before the add-new item";
    EXPECT_EQ(Counter(), "Total: 4");
    EXPECT_EQ(Selected(), "");

    m_panel->SetSearchText("jo");
    EXPECT_EQ(RootTexts(),
        (std::vector<std::string>{
            "", ContactTreeModel::kAddNewText, "Joan Lee (Work)", "John Smith (Work)" }));
    EXPECT_EQ(Counter(), "Total: 3");
    EXPECT_EQ(Selected(), ContactTreeModel::kAddNewText)
        << "the second root item is selected while searching";
    const QModelIndex company = m_panel->Model()->index(0, 0);
    EXPECT_EQ(m_panel->Model()->index(0, 0, company).data().toString(), "Mobile: 5559")
        << "slot 3 above slot 1";
    EXPECT_EQ(m_panel->Model()->index(1, 0, company).data().toString(), "Home: 5554");

    // A contact added behind the tree's back shows only once the tree is rebuilt: "joh" narrows
    // what is there, "jon" does not begin with "joh" and rebuilds from the store.
    Add(Contact("John", "Alder", "5555"));
    m_panel->SetSearchText("joh");
    EXPECT_EQ(RootTexts(), (std::vector<std::string>{ ContactTreeModel::kAddNewText, "John Smith (Work)" }));
    EXPECT_EQ(Selected(), "John Smith (Work)");
    m_panel->SetSearchText("john");
    EXPECT_EQ(Counter(), "Total: 1");
    m_panel->SetSearchText("jo");
    EXPECT_EQ(Counter(), "Total: 4");
    m_panel->SetSearchText("john");
    EXPECT_EQ(RootTexts(),
        (std::vector<std::string>{
            ContactTreeModel::kAddNewText, "John Alder (Work)", "John Smith (Work)" }));
}

// Digits (with the separators numbers are written with) find contacts by any of their numbers,
// whatever separators the number holds; names still match as before.
// The order worked out while loading serves the first fill: the numbers the panel reads to watch
// colleagues' lines must not count as a change to the contacts.
TEST_F(ContactsPanelScenario, ForcedFillKeepsTheTreeOrderPreparedWhileLoading)
{
    Add(Contact("Zoe", "Lee", "201"));
    Add(Contact("Ann", "Lee", "202"));
    m_contacts.PrepareTreeOrder();
    m_panel->FillContactTree(true);
    EXPECT_TRUE(m_contacts.HasPreparedTreeOrder());
    EXPECT_EQ(RootTexts(),
        (std::vector<std::string>{
            "(double-click here to add a new contact...)", "Ann Lee (Work)", "Zoe Lee (Work)" }));
    m_panel->FillContactTree(true);
    EXPECT_TRUE(m_contacts.HasPreparedTreeOrder()) << "a second forced fill";
}

// A colleague's line changing state makes the tree read again the contacts' icons and the numbers
// of the contact it shows open, and nothing else: announcing every closed contact's number rows
// cost the tree view a search of all its rows for each (seconds with a large address book).
TEST_F(ContactsPanelScenario, ColleagueLineStatesAnnounceOnlyWhatTheTreeShows)
{
    std::string config;
    for (int i = 1; i <= 4; ++i)
        config += "[line]\nname = Line " + std::to_string(i) + "\n";
    config += "[line]\nname = IP Line 1\nkind = sip\nuser = 200\ndomain = 127.0.0.1:9\n"
              "local-address = 127.0.0.1\nregister = no\n";
    ASSERT_EQ(tapisimConfigure(config.c_str()), TAPISIM_OK) << tapisimLastError();
    for (int i = 0; i < 1000; ++i)
        Add(Contact("Ann", ("Lee " + std::to_string(1000 + i)).c_str(), std::to_string(2000 + i).c_str()));
    Start();
    m_panel->FillContactTree(true);
    const LineSlot* sip = m_manager->FindSlotByDevice(4);
    ASSERT_NE(sip, nullptr);
    ASSERT_EQ(m_manager->Colleagues().WatchingLine(), sip->GetLine());
    const ContactTreeModel& model = *m_panel->Model();
    const QModelIndex ann = model.index(1, 0);
    ASSERT_EQ(ann.data().toString(), "Ann Lee 1000 (Work)");
    m_panel->Tree()->expand(ann);
    int announced = 0;
    QObject::connect(&model, &QAbstractItemModel::dataChanged, [&] { ++announced; });

    m_manager->Colleagues().OnDevSpecific(sip->GetLine(), TAPIDEVSPECIFIC_WATCHEDLINE, 0, TAPIWATCH_RINGING);
    EXPECT_EQ(announced, 2) << "the contacts, and the open contact's numbers";
    EXPECT_FALSE(ann.data(Qt::ToolTipRole).toString().isEmpty());
    EXPECT_EQ(model.index(0, 0, ann).data(Qt::ToolTipRole), ann.data(Qt::ToolTipRole));
    EXPECT_TRUE(model.index(2, 0).data(Qt::ToolTipRole).isNull()) << "2001 is not ringing";
}

TEST_F(ContactsPanelScenario, SearchingDigitsFindsContactsByTheirNumbers)
{
    Add(Contact("John", "Smith", "+1 (555) 987-6543"));
    ContactRecord ann = Contact("Ann", "Lee", "0700");
    ann.SetNumber(6, "555.1234");
    Add(ann);
    Add(Contact("Bob", "Stone", "5559 876"));
    ContactRecord pizza = Contact("Pizza", "", "0800 12");
    pizza.SetCompany("555 Pizza");
    Add(pizza);
    m_panel->FillContactTree(true);

    const std::vector<std::string> all{ ContactTreeModel::kAddNewText, "Ann Lee (Work)", "Bob Stone (Work)",
        "John Smith (Work)", "Pizza (Work)" };
    std::string typed;
    for (char c : std::string("5559876")) { // narrowing, one keystroke at a time
        typed.push_back(c);
        m_panel->SetSearchText(QString::fromStdString(typed));
    }
    EXPECT_EQ(RootTexts(),
        (std::vector<std::string>{ ContactTreeModel::kAddNewText, "Bob Stone (Work)", "John Smith (Work)" }))
        << "separators inside the stored numbers are skipped";
    m_panel->SetSearchText("1 555 98");
    EXPECT_EQ(RootTexts(), (std::vector<std::string>{ ContactTreeModel::kAddNewText, "John Smith (Work)" }));
    m_panel->SetSearchText("(555) 1234");
    EXPECT_EQ(RootTexts(), (std::vector<std::string>{ ContactTreeModel::kAddNewText, "Ann Lee (Work)" }))
        << "any of the ten numbers";
    m_panel->SetSearchText("+1 555/987.65");
    EXPECT_EQ(Counter(), "Total: 1");
    m_panel->SetSearchText("555");
    EXPECT_EQ(RootTexts(), all) << "a number or the company's name";
    m_panel->SetSearchText("555 p");
    EXPECT_EQ(RootTexts(), (std::vector<std::string>{ ContactTreeModel::kAddNewText, "Pizza (Work)" }))
        << "a letter makes it a name search";
    m_panel->SetSearchText("6789");
    EXPECT_EQ(Counter(), "Total: 0") << "the digits must stand in a row";
    m_panel->SetSearchText("- ");
    EXPECT_EQ(Counter(), "Total: 0") << "separators alone find nothing";
}

TEST_F(ContactsPanelScenario, ContactIsCreatedEditedAndDeletedThroughTheContactDialog)
{
    m_panel->FillContactTree(true);
    WhenContactDialogOpens([this](ContactDialog& dialog) {
        dialog.accept();
        EXPECT_TRUE(dialog.isVisible()) << "a nameless contact keeps the dialog open";
        dialog.Edit(ContactField::FirstName)->setText("Ann");
        dialog.Edit(ContactField::LastName)->setText("Lee");
        dialog.NumberEdit(2)->setText("555 1234");
        dialog.DefaultButtons()->button(2)->setChecked(true);
        dialog.accept();
    });
    m_panel->ActivateSelection(true);
    ASSERT_EQ(m_prompter.messages.size(), 1u);
    EXPECT_EQ(m_prompter.messages[0].text, "Record has no name, title or company.");
    EXPECT_EQ(RootTexts(), (std::vector<std::string>{ ContactTreeModel::kAddNewText, "Ann Lee (Mobile)" }));
    ASSERT_EQ(SavedContacts().Count(), 1u);
    EXPECT_EQ(SavedContacts().GetAt(0)->DefaultNumber(), "555 1234");

    Select("Ann Lee (Mobile)");
    WhenContactDialogOpens([](ContactDialog& dialog) {
        EXPECT_EQ(dialog.Edit(ContactField::FirstName)->text(), "Ann");
        dialog.Edit(ContactField::LastName)->setText("Lee-Smith");
        dialog.accept();
    });
    m_panel->EditContact();
    EXPECT_EQ(SavedContacts().GetAt(0)->DisplayName(), "Ann Lee-Smith (Mobile)");
    m_panel->SetSearchText("lee-s");
    EXPECT_EQ(Selected(), "Ann Lee-Smith (Mobile)") << "found again by its new name";

    m_prompter.answers = { false, true };
    m_panel->DeleteContact();
    EXPECT_EQ(SavedContacts().Count(), 1u) << "answered No";
    m_panel->DeleteContact();
    ASSERT_EQ(m_prompter.questions.size(), 2u);
    EXPECT_EQ(m_prompter.questions[1].text, "Are you sure ?");
    EXPECT_EQ(m_prompter.questions[1].title, "Delete contact");
    EXPECT_EQ(SavedContacts().Count(), 0u);
    EXPECT_EQ(Counter(), "Total: 0");
}

TEST_F(ContactsPanelScenario, EveryGroupOfAFullListCanBeChosenFromTheGroupMenu)
{
    for (int i = int(m_contacts.Groups().Count()); i < 31; ++i)
        ASSERT_TRUE(m_contacts.Groups().Add("Group " + std::to_string(100 + i)));
    ASSERT_TRUE(m_contacts.Groups().Add("Zulu"));
    ASSERT_EQ(*m_contacts.Groups().GetAt(31), "Zulu") << "sorted after \"Unfiled\"";
    ContactRecord member = Contact("Zed", "Last", "5550");
    member.SetGroup("zulu", m_contacts.Groups());
    Add(member);
    Add(Contact("Amy", "Other", "5551"));

    std::unique_ptr<QMenu> menu(m_panel->CreateGroupMenu(nullptr));
    QList<QAction*> items = menu->actions();
    EXPECT_EQ(items.front()->text(), "All");
    EXPECT_EQ(items[items.size() - 3]->text(), "Unfiled");
    EXPECT_EQ(items.back()->text(), "Edit groups...");
    QAction* last = nullptr;
    for (QAction* item : items) {
        if (item->data().toInt() == 32854 + 31)
            last = item;
    }
    ASSERT_NE(last, nullptr) << "the group at position 32 is on the menu";
    m_panel->SetSearchText("a");
    last->trigger();
    EXPECT_EQ(m_panel->GroupLabel()->text(), last->text());
    EXPECT_EQ(m_panel->SearchText(), "") << "choosing a group empties the search";
    EXPECT_EQ(RootTexts(), (std::vector<std::string>{ ContactTreeModel::kAddNewText, "Zed Last (Work)" }));
}

TEST_F(ContactsPanelScenario, DiallingAContactPlacesTheCallAndFeedsTheRedialList)
{
    Start();
    ContactRecord ann = Contact("Ann", "Lee", "555");
    ann.SetNumber(3, "777");
    Add(ann);
    m_panel->FillContactTree(true);
    AddDialRule("555", TAPISIM_OUTCOME_ANSWER, 1000);
    AddDialRule("777", TAPISIM_OUTCOME_ANSWER, 1000);

    Select("Ann Lee (Work)");
    EXPECT_TRUE(m_panel->HasDialableSelection());
    m_panel->ActivateSelection(false);
    Advance(5000);
    ASSERT_NE(OnlyCall(0), 0u);
    EXPECT_EQ(CallText(0), "Ann Lee (Work), 555 (Connected)");
    m_window.page = WindowPage::Contacts;
    EXPECT_EQ(m_redial.RedialMenuText(0), "Ann Lee (Work), 555");
    m_manager->CloseAllLines();
    Settle();

    // The redial item dialled again moves up instead of being added a second time.
    m_panel->SetSearchText("x");
    m_panel->SetSearchText("Alice, 555 1234");
    EXPECT_FALSE(m_panel->HasDialableSelection());
    m_panel->ActivateSelection(false);
    m_panel->DialFromContacts("", m_redial.RedialMenuText(1));
    RedialStore saved(m_contacts.Groups(), PhoneLabelStore());
    saved.Load(m_dir / "KestriumRedialList200.csv");
    EXPECT_EQ(saved.RedialMenuText(0), "Ann Lee (Work), 555");
    EXPECT_EQ(saved.RedialMenuText(1), "Alice, 555 1234");
    EXPECT_EQ(saved.GetSlot(1)->DisplayName(), "Alice");
    EXPECT_EQ(saved.RedialMenuText(2), "");

    // A contact whose default slot is empty cannot be dialled, though it has another number.
    ContactRecord noDefault = Contact("Ned", "Null", "");
    noDefault.SetNumber(4, "5556");
    Add(noDefault);
    m_panel->SetSearchText("ned");
    EXPECT_FALSE(m_panel->HasDialableSelection());
    m_panel->ActivateSelection(false);
    ASSERT_EQ(m_prompter.messages.size(), 1u);
    EXPECT_EQ(m_prompter.messages[0].text, "No phone number to call");
    EXPECT_EQ(m_prompter.messages[0].icon, Prompter::Icon::Stop);
    saved.Load(m_dir / "KestriumRedialList200.csv");
    EXPECT_EQ(saved.RedialMenuText(0), "Ann Lee (Work), 555") << "nothing was dialled";
}

TEST_F(ContactsPanelScenario, SpeedDialButtonsShowCutNamesAndDialTheirEntry)
{
    Add(Contact("Bartholomew Maximilian", "Featherstonehaugh-Worthington", "555"));
    m_panel->FillContactTree(true);
    Select("Bartholomew Maximilian Featherstonehaugh-Worthington (Work)");
    m_panel->AddToSpeedDial(4);
    const QString shown = m_panel->SpeedButton(4)->text();
    ASSERT_TRUE(shown.endsWith("...")) << shown.toStdString();
    EXPECT_TRUE(QString("Bartholomew Maximilian Featherstonehaugh").startsWith(shown.chopped(3)));
    EXPECT_LE(m_panel->SpeedButton(4)->fontMetrics().horizontalAdvance(shown.chopped(3)),
        m_panel->SpeedButton(4)->width());
    EXPECT_EQ(m_panel->SpeedButton(0)->text(), "...");
    // A screen reader says the whole name, and an empty slot is not "...".
    EXPECT_TRUE(m_panel->SpeedButton(4)->accessibleName().startsWith(
        "Speed dial 5: Bartholomew Maximilian Featherstonehaugh-Worthington"))
        << m_panel->SpeedButton(4)->accessibleName().toStdString();
    EXPECT_EQ(m_panel->SpeedButton(0)->accessibleName(), "Speed dial 1, empty");

    // The frame keeps its size, centred 8 pixels above the bottom; the tree ends 6 pixels above it.
    m_panel->resize(500, 600);
    const QRect frame = m_panel->SpeedButton(0)->parentWidget()->geometry();
    EXPECT_EQ(frame.bottom() + 1, 600 - 8);
    EXPECT_LE(std::abs(frame.left() - (500 - 1 - frame.right())), 1) << "centred";
    EXPECT_EQ(m_panel->Tree()->geometry().bottom() + 1, frame.top() - 6);
    EXPECT_EQ(m_panel->Tree()->geometry().left(), 500 - 1 - m_panel->Tree()->geometry().right());

    m_prompter.answers = { true };
    m_panel->ClearSpeedEntry(4);
    EXPECT_EQ(m_panel->SpeedButton(4)->text(), "...");
    SpeedDialStore saved(m_contacts.Groups(), PhoneLabelStore());
    saved.Load(m_dir / "KestriumSpeedDial200.csv");
    EXPECT_EQ(saved.GetSlot(4)->DisplayName(), "");
}

} // namespace
