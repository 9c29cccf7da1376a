#include "ui/telephony_widgets/incoming_call_dialog.h"
#include "ui/telephony_widgets/message_box_prompter.h"
#include "ui/telephony_widgets/qt_call_tree.h"
#include "ui/telephony_widgets/qt_select_call_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Runs `step` once the next modal dialog is up; a dialog still open after the safety time is
// closed so that no test can hang, and the test fails.
void WhenModal(std::function<void(QWidget&)> step)
{
    QTimer::singleShot(0, [step] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        step(*modal);
    });
}

class ModalGuard {
public:
    ModalGuard()
    {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                m_fired = true;
                modal->close();
            }
        });
        m_timer.start(5000);
    }
    ~ModalGuard() { EXPECT_FALSE(m_fired) << "a modal dialog was left waiting"; }

private:
    QTimer m_timer;
    bool m_fired = false;
};

const std::vector<std::string> kLines = { "Ringer,5558888 (Incoming)", "Talker, 5554444 (Connected)" };

TEST(QtSelectCallDialog, ShowsTheCallsAndReturnsTheChosenOne)
{
    ModalGuard guard;
    QtSelectCallDialog dialog;
    WhenModal([&](QWidget&) {
        EXPECT_EQ(dialog.windowTitle(), "Select call:");
        ASSERT_EQ(dialog.List()->count(), 2);
        EXPECT_EQ(dialog.List()->item(1)->text(), "Talker, 5554444 (Connected)");
        EXPECT_EQ(dialog.List()->currentRow(), 0);
        EXPECT_EQ(dialog.SelectedButton()->text(), "Drop call");
        EXPECT_TRUE(dialog.DropAllButton()->isVisible());
        dialog.List()->setCurrentRow(1);
        QTest::mouseClick(dialog.SelectedButton(), Qt::LeftButton);
    });
    EXPECT_EQ(dialog.Run(kLines, "Drop call", true), SelectCallDialog::Selected);
    EXPECT_EQ(dialog.ChosenIndex(), 1);
}

TEST(QtSelectCallDialog, DoubleClickActsAsSelectedCall)
{
    ModalGuard guard;
    QtSelectCallDialog dialog;
    WhenModal([&](QWidget&) {
        EXPECT_FALSE(dialog.DropAllButton()->isVisible()) << "only dropping offers all calls";
        EXPECT_EQ(dialog.SelectedButton()->text(), "Answer");
        emit dialog.List()->itemDoubleClicked(dialog.List()->item(0));
    });
    EXPECT_EQ(dialog.Run(kLines, "Answer", false), SelectCallDialog::Selected);
    EXPECT_EQ(dialog.ChosenIndex(), 0);
}

TEST(QtSelectCallDialog, DropAllAndCancelEndTheDialog)
{
    ModalGuard guard;
    QtSelectCallDialog dialog;
    WhenModal([&](QWidget&) { QTest::mouseClick(dialog.DropAllButton(), Qt::LeftButton); });
    EXPECT_EQ(dialog.Run(kLines, "Drop call", true), SelectCallDialog::DropAll);
    WhenModal([&](QWidget&) { QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton); });
    EXPECT_EQ(dialog.Run(kLines, "Drop call", true), SelectCallDialog::Cancelled);
    WhenModal([&](QWidget&) { dialog.Cancel(); });
    EXPECT_EQ(dialog.Run(kLines, "Drop call", true), SelectCallDialog::Cancelled);
}

TEST(QtSelectCallDialog, WithoutSelectionTheDialogStaysOpen)
{
    ModalGuard guard;
    QtSelectCallDialog dialog;
    bool stayed = false;
    WhenModal([&](QWidget&) {
        dialog.List()->clearSelection();
        QTest::mouseClick(dialog.SelectedButton(), Qt::LeftButton);
        stayed = dialog.isVisible();
        dialog.Cancel();
    });
    EXPECT_EQ(dialog.Run(kLines, "Drop call", true), SelectCallDialog::Cancelled);
    EXPECT_TRUE(stayed);
}

TEST(QtCallTree, WalksVisibleNodesAndKeepsValuesAndImages)
{
    QTreeWidget widget;
    QtCallTree tree(widget, {});
    auto line0 = tree.AddNode(nullptr, "Zo-Linka Line 1", 18, LineTreeValue(0));
    auto call = tree.AddNode(line0, "<b>Bob</b>,555 (Incoming)", 7, CallTreeValue(0, 2));
    auto line4 = tree.AddNode(nullptr, "IP Line 1", 20, LineTreeValue(4));
    tree.AddNode(line4, "hidden (Connected)", 11, CallTreeValue(4, 0));

    tree.Expand(line0);
    EXPECT_EQ(tree.FirstVisible(), line0);
    EXPECT_EQ(tree.NextVisible(line0), call);
    EXPECT_EQ(tree.NextVisible(call), line4);
    EXPECT_EQ(tree.NextVisible(line4), nullptr) << "children of a collapsed line are not visible";
    EXPECT_EQ(RecordOfTreeValue(tree.Value(call)), 2);
    EXPECT_EQ(SlotOfTreeValue(tree.Value(line4)), 4);

    tree.SetNode(call, "Bob,555 (Connected)", 11);
    auto* item = widget.topLevelItem(0)->child(0);
    EXPECT_EQ(item->text(0), "Bob,555 (Connected)");
    EXPECT_EQ(item->data(0, QtCallTree::kImageRole).toInt(), 11);
    tree.Select(line4);
    EXPECT_EQ(widget.currentItem(), widget.topLevelItem(1));
    tree.Clear();
    EXPECT_EQ(tree.FirstTopLevel(), nullptr);
}

TEST(MessageBoxPrompter, ShowsPlainTextWithTitleAndIcon)
{
    ModalGuard guard;
    MessageBoxPrompter prompter;
    WhenModal([](QWidget& modal) {
        auto* box = qobject_cast<QMessageBox*>(&modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "Kestrium");
        EXPECT_EQ(box->text(), "<i>Call failed.</i>");
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_EQ(box->icon(), QMessageBox::Warning);
        box->button(QMessageBox::Ok)->click();
    });
    prompter.ShowMessage("<i>Call failed.</i>", "Kestrium", Prompter::Icon::Exclamation);
}

// Remembers the buttons pressed; closes the pop-up from within its own button when asked to, as
// the incoming-call handling does.
class ButtonLog : public IncomingPopupListener {
public:
    void OnPopupButton(IncomingPopup&, Button button) override
    {
        pressed.push_back(button);
        if (closeOnPress)
            closeOnPress->reset();
    }

    std::vector<Button> pressed;
    IncomingPopup::Handle* closeOnPress = nullptr;
};

TEST(IncomingCallDialog, ShowsTheCallerAsPlainTextAndOnlyItsButtonsCloseIt)
{
    using Button = IncomingPopupListener::Button;
    ButtonLog log;
    IncomingPopup::Handle handle = IncomingCallDialog::Create(log);
    auto& dialog = static_cast<IncomingCallDialog&>(*handle);
    const QPointer<IncomingCallDialog> alive(&dialog);
    EXPECT_EQ(dialog.windowTitle(), "Incoming call:");
    dialog.SetCallInfo(0x51, 2, "<b>Eve</b><img src=x>,555", "Incoming call on Front Desk");
    dialog.ShowOnTop();
    dialog.Move(1586, 894, 334, 116);
    EXPECT_EQ(dialog.CallerText()->textFormat(), Qt::PlainText);
    EXPECT_EQ(dialog.CallerText()->text(), "<b>Eve</b><img src=x>,555");
    EXPECT_EQ(dialog.windowTitle(), "Incoming call on Front Desk");
    EXPECT_EQ(dialog.frameGeometry(), QRect(1586, 894, 334, 116));
    EXPECT_TRUE(dialog.AnswerButton()->isDefault());
    EXPECT_EQ(dialog.VoicemailButton()->text(), "Send to voicemail");

    QTest::keyClick(&dialog, Qt::Key_Escape);
    dialog.close();
    EXPECT_TRUE(dialog.isVisible()) << "Escape and the close box do nothing";

    QTest::mouseClick(dialog.AnswerButton(), Qt::LeftButton);
    QTest::mouseClick(dialog.VoicemailButton(), Qt::LeftButton);
    log.closeOnPress = &handle;
    QTest::mouseClick(dialog.IgnoreButton(), Qt::LeftButton);
    EXPECT_EQ(log.pressed, (std::vector<Button>{ Button::Answer, Button::SendToVoicemail, Button::Ignore }));
    ASSERT_FALSE(alive.isNull()) << "a pop-up closed by its own button outlives the click";
    EXPECT_FALSE(alive->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());
}

TEST(MessageBoxPrompter, AsksYesNoQuestionsAsPlainText)
{
    ModalGuard guard;
    MessageBoxPrompter prompter;
    for (const QMessageBox::StandardButton answer : { QMessageBox::Yes, QMessageBox::No }) {
        WhenModal([answer](QWidget& modal) {
            auto* box = qobject_cast<QMessageBox*>(&modal);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->windowTitle(), "Kestrium");
            EXPECT_EQ(box->text(), "Delete <b>this</b> note ?");
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
            EXPECT_EQ(box->icon(), QMessageBox::Question);
            box->button(answer)->click();
        });
        EXPECT_EQ(prompter.AskYesNo("Delete <b>this</b> note ?", "Kestrium"), answer == QMessageBox::Yes);
    }
}

} // namespace
