// The "Contact:" and "Edit groups:" dialogs offscreen, with scripted message boxes and names.
#include "support/scripted_prompter.h"
#include "support/temp_dir.h"

#include "store/contact_store.h"
#include "store/speed_dial_store.h"
#include "ui/panels/contact_dialog.h"
#include "ui/panels/edit_groups_dialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <deque>

namespace {

constexpr int kMobileLabel = 2;

class ContactDialogs : public ::testing::Test {
protected:
    void SetUp() override { m_contacts.Groups().Load(m_dir / "no-groups-file"); }

    std::vector<std::string> Messages() const
    {
        std::vector<std::string> texts;
        for (const ScriptedPrompter::Message& message : m_prompter.messages)
            texts.push_back(message.text);
        return texts;
    }

    testing_support::TempDir m_dir;
    ScriptedPrompter m_prompter;
    ContactStore m_contacts;
    SpeedDialStore m_speedDials{ m_contacts.Groups(), PhoneLabelStore() };
};

TEST_F(ContactDialogs, ContactDialogRefusesIncompleteInputAndComposesTheName)
{
    ContactDialog dialog(m_contacts, m_speedDials, m_dir / "KestriumSpeedDial200.csv", m_prompter);
    dialog.Assign(ContactRecord());
    dialog.AddToSpeedDial(2);
    dialog.Edit(ContactField::Title)->setText("Doctor");
    dialog.DefaultButtons()->button(3)->setChecked(true);
    dialog.accept();
    dialog.DefaultButtons()->setExclusive(false);
    dialog.DefaultButtons()->button(3)->setChecked(false);
    dialog.accept();
    EXPECT_EQ(Messages(),
        (std::vector<std::string>{ "Record has no name, title or company.",
            "Selected default phone field can not be empty.", "Please select a default phone field." }));
    EXPECT_EQ(m_prompter.messages[0].title, "Kestrium");
    EXPECT_EQ(m_speedDials.GetSlot(2)->DisplayName(), "") << "invalid input changes no speed-dial slot";
    EXPECT_FALSE(std::filesystem::exists(m_dir / "KestriumSpeedDial200.csv"));

    dialog.DefaultButtons()->setExclusive(true);
    dialog.Edit(ContactField::FirstName)->setText("John");
    dialog.Edit(ContactField::LastName)->setText("Smith");
    dialog.GroupBox()->setCurrentText("Family");
    dialog.NumberEdit(5)->setText("555 0101");
    dialog.LabelBox(5)->setCurrentIndex(kMobileLabel);
    dialog.DefaultButtons()->button(5)->setChecked(true);
    m_prompter.messages.clear();
    dialog.AddToSpeedDial(2);
    EXPECT_EQ(Messages(), (std::vector<std::string>{ "Record added to speed-dial" }));
    SpeedDialStore saved(m_contacts.Groups(), PhoneLabelStore());
    saved.Load(m_dir / "KestriumSpeedDial200.csv");
    EXPECT_EQ(saved.GetSlot(2)->DisplayName(), "John Smith (Mobile)");
    EXPECT_EQ(dialog.Record().FirstName(), "") << "the dialog's own record is unchanged";

    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Record().DisplayName(), "John Smith (Mobile)");
    EXPECT_EQ(dialog.Record().Group(), "Family");
    EXPECT_EQ(dialog.Record().DefaultNumber(), "555 0101");
    EXPECT_EQ(dialog.Record().Title(), "Doctor");
}

TEST_F(ContactDialogs, RenamingAndDeletingGroupsMoveTheirContacts)
{
    ContactRecord ann;
    ann.SetFirstName("Ann");
    ann.SetNumber(0, "555");
    ann.SetGroup("Family", m_contacts.Groups());
    ASSERT_TRUE(m_contacts.Append(ann));

    EditGroupsDialog dialog(m_contacts, m_dir.Path(), m_prompter);
    std::deque<std::string> names = { "Relatives" };
    dialog.SetNameSource([&names](std::string& name) {
        if (names.empty())
            return false;
        name = names.front();
        names.pop_front();
        return true;
    });
    const auto select = [&dialog](const char* name) {
        const QList<QListWidgetItem*> found = dialog.List()->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name;
        dialog.List()->setCurrentItem(found.front());
    };
    const auto savedContact = [this] {
        ContactStore saved;
        saved.Load(m_dir / "KestriumContacts200.csv");
        return saved.Count() == 1 ? std::string(saved.GetAt(0)->Group()) : std::string("?");
    };

    select("Family");
    dialog.EditGroup();
    EXPECT_EQ(savedContact(), "Relatives");
    GroupStore savedGroups;
    savedGroups.Load(m_dir / "KestriumContactGroups.csv");
    EXPECT_TRUE(savedGroups.Find("Relatives"));
    EXPECT_FALSE(savedGroups.Find("Family"));

    m_prompter.answers = { true };
    select("Relatives");
    dialog.DeleteGroup();
    EXPECT_EQ(m_prompter.questions.back().title, "Delete group");
    EXPECT_EQ(savedContact(), "Unfiled");
    EXPECT_TRUE(dialog.List()->findItems("Relatives", Qt::MatchExactly).isEmpty());

    select("Unfiled");
    dialog.EditGroup();
    dialog.DeleteGroup();
    EXPECT_EQ(Messages(),
        (std::vector<std::string>{
            "Can not change \"Unfiled\" group name.", "Can not delete \"Unfiled\" group." }));
    EXPECT_EQ(m_prompter.messages[0].title, "Edit groups");
    EXPECT_EQ(m_prompter.questions.size(), 1u);
}

} // namespace
