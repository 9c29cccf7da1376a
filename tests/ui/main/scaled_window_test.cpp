// The main window and the setup dialog at 200 % on a 1280 x 800 screen (640 x 400 device-independent
// pixels): every control a user can work is on the screen, scrolled into view where its page scrolls.
#include "running_app.h"

#include "ui/main/main_window.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFontInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <unistd.h>

namespace {

// Before the test environment creates the application: the offscreen platform with one 1280 x 800
// screen, and Qt's scale factor 2. The screen's file goes when the process ends.
struct ScaledScreen {
    ScaledScreen()
    {
        const char* folder = std::getenv("TMPDIR");
        path = std::string(folder ? folder : "/tmp") + "/kestrium-scaled-screen-" + std::to_string(::getpid())
            + ".json";
        std::ofstream(path) << R"({"windowFrameMargins": false,
            "screens": [{"name": "wide", "x": 0, "y": 0, "width": 1280, "height": 800}]})";
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + path.c_str());
        qputenv("QT_SCALE_FACTOR", "2");
    }
    ~ScaledScreen() { std::remove(path.c_str()); }
    std::string path;
};
const ScaledScreen g_scaledScreen;

bool IsControl(const QWidget& widget)
{
    return qobject_cast<const QAbstractButton*>(&widget) || qobject_cast<const QLineEdit*>(&widget)
        || qobject_cast<const QComboBox*>(&widget) || qobject_cast<const QAbstractSlider*>(&widget)
        || qobject_cast<const QAbstractSpinBox*>(&widget) || qobject_cast<const QTabBar*>(&widget)
        || qobject_cast<const QAbstractItemView*>(&widget);
}

// A spin box's or a combo box's own edit field counts as part of it.
bool IsPartOfAControl(const QWidget& widget)
{
    const QWidget* parent = widget.parentWidget();
    return qobject_cast<const QAbstractSpinBox*>(parent) || qobject_cast<const QComboBox*>(parent);
}

QRect GlobalRect(const QWidget& widget)
{
    return QRect(widget.mapToGlobal(QPoint(0, 0)), widget.size());
}

// Scrolls `bar` so that the span from `start` (length `length`) shows in `visible` pixels.
void ScrollToShow(QScrollBar& bar, int start, int length, int visible)
{
    if (start < bar.value())
        bar.setValue(start);
    else if (start + length > bar.value() + visible)
        bar.setValue(start + length - visible);
}

// The viewport of the scroll area that `widget` is shown in, if any, scrolled as a user would to
// show the widget.
const QWidget* ScrolledIntoView(QWidget& widget)
{
    for (QWidget* parent = widget.parentWidget(); parent; parent = parent->parentWidget()) {
        auto* area = qobject_cast<QScrollArea*>(parent);
        if (!area || !area->widget()->isAncestorOf(&widget))
            continue;
        const QPoint at = widget.mapTo(area->widget(), QPoint(0, 0));
        const QSize visible = area->viewport()->size();
        ScrollToShow(*area->verticalScrollBar(), at.y(), widget.height(), visible.height());
        ScrollToShow(*area->horizontalScrollBar(), at.x(), widget.width(), visible.width());
        return area->viewport();
    }
    return nullptr;
}

// The names of the enabled, shown controls of `window` that are not wholly on the screen.
std::string ControlsOffScreen(QWidget& window)
{
    const QRect screen = window.screen()->availableGeometry();
    std::string off;
    for (QWidget* control : window.findChildren<QWidget*>()) {
        if (!control->isVisible() || !control->isEnabled() || !IsControl(*control)
            || IsPartOfAControl(*control)
            || qobject_cast<QAbstractScrollArea*>(control->parentWidget()) // a list's own scroll bars
            || control->window() != &window)
            continue;
        const QWidget* viewport = ScrolledIntoView(*control);
        QCoreApplication::processEvents();
        const QRect place = GlobalRect(*control);
        if (!screen.contains(place) || (viewport && !GlobalRect(*viewport).contains(place)))
            off += std::string(control->metaObject()->className()) + " \""
                + control->objectName().toStdString() + "\" at " + std::to_string(place.x()) + ","
                + std::to_string(place.y()) + "; ";
    }
    // Pages scroll down where they must, never sideways.
    for (const QScrollArea* area : window.findChildren<QScrollArea*>())
        if (area->isVisible() && area->window() == &window && area->horizontalScrollBar()->maximum() > 0)
            off += "sideways scrolling by " + std::to_string(area->horizontalScrollBar()->maximum())
                + " px; ";
    return off;
}

using ScaledWindowTest = RunningApp;

TEST_F(ScaledWindowTest, EveryControlOfTheWindowAndTheSetupDialogIsOnTheScreen)
{
    ASSERT_EQ(QGuiApplication::primaryScreen()->availableGeometry().size(), QSize(640, 400));
    MainWindow& window = Start();
    EXPECT_TRUE(window.screen()->availableGeometry().contains(window.geometry()));
    EXPECT_GE(window.StatusBar()->height(), window.StatusBar()->fontMetrics().height()) << "readable";
    // The search/dial box's text: the desktop's font, bold and larger, scaled like the rest.
    const QFont box = window.SearchField()->font();
    EXPECT_EQ(box.family(), QApplication::font().family());
    EXPECT_TRUE(box.bold());
    EXPECT_GT(QFontInfo(box).pixelSize(), QFontInfo(QApplication::font()).pixelSize());
    for (int tab = 0; tab < MainWindow::kTabCount; ++tab) {
        window.ShowTab(tab);
        Settle();
        EXPECT_EQ(ControlsOffScreen(window), "") << "tab " << tab;
    }

    std::string setupOff = "the dialog did not open";
    QTimer::singleShot(0, &window, [&setupOff] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        setupOff.clear();
        auto* pages = dialog->findChild<QListWidget*>("pageList");
        for (int page = 0; pages && page < pages->count(); ++page) {
            pages->setCurrentRow(page);
            QCoreApplication::processEvents();
            const std::string off = ControlsOffScreen(*dialog);
            if (!off.empty())
                setupOff += "page " + std::to_string(page) + ": " + off;
        }
        dialog->reject();
    });
    Command(window, "actionSetup").trigger();
    EXPECT_EQ(setupOff, "");
}

} // namespace
