#include "support/scripted_prompter.h"

#include "ui/panels/notes_dialog.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

// Remembers what the window handed over.
class RecordingSaver : public NoteSaver {
public:
    void SaveNote(int slot, HCALL call, std::optional<std::string_view> text) override
    {
        saves.push_back({ slot, call, text ? std::optional<std::string>(*text) : std::nullopt });
    }
    struct Save {
        int slot;
        HCALL call;
        std::optional<std::string> text;
    };
    std::vector<Save> saves;
};

class NotesDialogTest : public ::testing::Test {
protected:
    RecordingSaver m_saver;
    ScriptedPrompter m_prompter;
    NotesDialog m_dialog{ m_saver, m_prompter, 3, 0x77 };
};

TEST_F(NotesDialogTest, ClearAsksAndEmptiesTheTextWithoutSaving)
{
    m_dialog.ClearButton()->click();
    EXPECT_TRUE(m_prompter.questions.empty()) << "an empty note is cleared without a question";

    m_dialog.SetNote("Ring the <b>plumber</b>");
    m_prompter.answers = { false };
    m_dialog.ClearButton()->click();
    EXPECT_EQ(m_dialog.Note(), "Ring the <b>plumber</b>") << "No keeps the text";
    m_prompter.answers = { true };
    m_dialog.ClearButton()->click();
    EXPECT_EQ(m_dialog.Note(), "");
    ASSERT_EQ(m_prompter.questions.size(), 2u);
    EXPECT_EQ(m_prompter.questions[0].text, "Are you sure you want to clear this note ?");
    EXPECT_EQ(m_prompter.questions[0].title, "Kestrium");
    EXPECT_TRUE(m_saver.saves.empty()) << "Clear saves nothing";

    m_dialog.CancelButton()->click();
    ASSERT_EQ(m_saver.saves.size(), 1u);
    EXPECT_EQ(m_saver.saves[0].slot, 3);
    EXPECT_EQ(m_saver.saves[0].call, 0x77u);
    EXPECT_EQ(m_saver.saves[0].text, std::nullopt) << "Cancel hands over no text";
}

TEST_F(NotesDialogTest, DeleteAsksThenSavesTheEmptyNote)
{
    m_dialog.SetNote("Old note");
    m_prompter.answers = { false };
    m_dialog.DeleteButton()->click();
    EXPECT_TRUE(m_saver.saves.empty());
    EXPECT_EQ(m_dialog.Note(), "Old note");
    m_prompter.answers = { true };
    m_dialog.DeleteButton()->click();
    ASSERT_EQ(m_saver.saves.size(), 1u);
    EXPECT_EQ(m_saver.saves[0].text, std::optional<std::string>(""));
    EXPECT_EQ(m_prompter.questions.back().text, "Are you sure you want to delete this note ?");
    m_dialog.OkButton()->click();
    EXPECT_EQ(m_saver.saves.size(), 1u) << "the decision is handed over once";
}

// Typed or pasted text beyond 1,000 bytes is cut, never inside a character.
TEST_F(NotesDialogTest, OkHandsOverTheTextWithinTheLimit)
{
    m_dialog.SetNote(std::string(998, 'x'));
    m_dialog.Editor()->moveCursor(QTextCursor::End);
    m_dialog.Editor()->insertPlainText(QString::fromUtf8("y\xC3\xA9z"));
    m_dialog.OkButton()->click();
    ASSERT_EQ(m_saver.saves.size(), 1u);
    EXPECT_EQ(m_saver.saves[0].text, std::string(998, 'x') + "y");
}

} // namespace
