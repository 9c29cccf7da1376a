// The text cursor stops blinking after a while without input and blinks again with the next input.
#include "ui/desktop/cursor_blink_timeout.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// Counts the paints of a widget: a blinking cursor repaints its field at every flash.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget& widget) { widget.installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

// How often the field was painted in `ms` of event loop.
int PaintsWithin(PaintCounter& counter, int ms)
{
    const int before = counter.paints;
    QTest::qWait(ms);
    return counter.paints - before;
}

} // namespace

TEST(CursorBlinkTimeout, StopsBlinkingWithoutInputAndBlinksAgainOnAKey)
{
    QApplication::setCursorFlashTime(100);
    QLineEdit field;
    PaintCounter counter(field);
    field.show();
    field.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&field));
    field.setFocus();
    {
        CursorBlinkTimeout timeout(400ms);
        EXPECT_TRUE(timeout.IsBlinking());
        EXPECT_GE(PaintsWithin(counter, 300), 2) << "the cursor blinks at first";
        ASSERT_TRUE(QTest::qWaitFor([&] { return !timeout.IsBlinking(); }, 2000));
        QTest::qWait(100);
        EXPECT_EQ(PaintsWithin(counter, 500), 0) << "an idle field is not repainted";
        EXPECT_EQ(QApplication::cursorFlashTime(), 0);

        QTest::keyClick(&field, Qt::Key_A);
        EXPECT_TRUE(timeout.IsBlinking());
        EXPECT_EQ(QApplication::cursorFlashTime(), 100);
        EXPECT_GE(PaintsWithin(counter, 300), 2) << "a key brings the blinking back";
        ASSERT_TRUE(QTest::qWaitFor([&] { return !timeout.IsBlinking(); }, 2000));
    }
    EXPECT_EQ(QApplication::cursorFlashTime(), 100) << "the desktop's blinking once the timeout is gone";
    EXPECT_EQ(field.text(), "a");
}
