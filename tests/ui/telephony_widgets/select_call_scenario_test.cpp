#include "support/telephony_scenario.h"

#include "ui/telephony_widgets/qt_select_call_dialog.h"

#include <QApplication>
#include <QTimer>

namespace {

// The real "Select call:" dialog, with line events arriving through the Qt event loop while it
// runs modally.
class SelectCallScenario : public TelephonyScenario {
protected:
    void SetUp() override
    {
        TelephonyScenario::SetUp();
        Start();
        StartTalkingAndRingingCalls();
        m_manager->SetSelectCallDialogFactory([] { return std::make_unique<QtSelectCallDialog>(); });
    }
};

TEST_F(SelectCallScenario, CallerHangingUpClosesTheOpenDialog)
{
    bool shown = false;
    bool leftOpen = false;
    QTimer::singleShot(0, [&] {
        shown = QApplication::activeModalWidget() != nullptr;
        tapisimHangUp(0);
    });
    QTimer::singleShot(5000, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            leftOpen = true;
            modal->close();
        }
    });
    EXPECT_EQ(m_manager->GetTargetCallForAction(false, kActionDrop), 0);
    EXPECT_TRUE(shown);
    EXPECT_FALSE(leftOpen) << "the line event did not reach the dialog's event loop";
    Advance(1000);
    EXPECT_EQ(CallText(1), "Talker, 5554444 (Connected)");
}

} // namespace
