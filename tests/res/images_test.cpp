#include "res/images.h"

#include <QGuiApplication>
#include <QImage>
#include <QPalette>
#include <QPixmap>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        m_app = std::make_unique<QGuiApplication>(m_argc, m_argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[12] = "res_tests";
    char* m_argv[2] = { m_name, nullptr };
    std::unique_ptr<QGuiApplication> m_app;
};

[[maybe_unused]] ::testing::Environment* const g_gui
    = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

// The bitmap names of the main window's image lists, in index order.
const std::vector<std::string> kSmallNames
    = { "Contacts", "DIAL16", "CALL16", "CallsLog", "Recorder", "VoiceMail", "DND16", "QueueCall",
          "Conference", "RECORD16", "MUTE16", "Hold", "AnalogIM", "Setup", "MissedCalls", "LINE_PSTN_ON_HOOK",
          "LINE_PSTN_OFF_HOOK", "LINE_PSTN_DEFAULT_ON_HOOK", "LINE_PSTN_DEFAULT_OFF_HOOK", "LINE_PSTN_GRAYED",
          "LINE_IP_ON_HOOK", "LINE_IP_OFF_HOOK", "LINE_IP_DEFAULT_ON_HOOK", "LINE_IP_DEFAULT_OFF_HOOK",
          "LINE_IP_GRAYED", "Phone", "Headset", "AddContact", "PAUSE16", "STOP16" };
const std::vector<std::string> kCallStateNames = { "CALL_STATE_IDLE", "CALL_STATE_ANSWER", "CALL_STATE_BUSY",
    "CALL_STATE_DIAL", "CALL_STATE_DIALTONE", "CALL_STATE_FAX", "CALL_STATE_HOLD", "CALL_STATE_INCOME",
    "CALL_STATE_LINE", "CALL_STATE_NO_ANSWER", "CALL_STATE_RINGING", "CALL_STATE_TALK", "CALL_STATE_XFER",
    "CALL_STATE_IN_CONF", "CALL_STATE_UNKNOWN", "CALL_STATE_PSTN_ON", "CALL_STATE_PSTN_OFF",
    "CALL_STATE_PSTN_ON", "CALL_STATE_PSTN_OFF", "CALL_STATE_PSTN_ON", "CALL_STATE_IP_ON",
    "CALL_STATE_IP_OFF", "CALL_STATE_IP_ON", "CALL_STATE_IP_OFF", "CALL_STATE_IP_ON", "CALL_STATE_VM" };
const std::vector<std::string> kButtonNames = { "KesCallUp", "KesCallDown", "KesCallFocus", "KesCallDisabled",
    "KesCallEndUp", "KesCallEndDown", "KesCallEndFocus", "KesCallEndDisabled" };
const std::vector<int> kIconIds = { 128, 261, 262, 263, 270, 271, 272, 273, 274, 275, 276, 277, 280, 281 };

QImage Render(const QIcon& icon, int size)
{
    return icon.pixmap(QSize(size, size)).toImage().convertToFormat(QImage::Format_ARGB32);
}

bool HasInk(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 0)
                return true;
        }
    }
    return false;
}

// An icon is usable when it draws something at list size and at twice that size, filling the
// requested box along its longer side (so it is drawn at the size asked for, not scaled up).
void ExpectDrawn(const QIcon& icon, const std::string& what)
{
    ASSERT_FALSE(icon.isNull()) << what;
    for (int size : { 16, 32 }) {
        const QImage image = Render(icon, size);
        EXPECT_EQ(std::max(image.width(), image.height()), size) << what << " at " << size;
        EXPECT_TRUE(HasInk(image)) << what << " is blank at " << size;
    }
}

void ExpectTable(const std::function<QIcon(int)>& table, int count, const std::string& what)
{
    for (int index = 0; index < count; ++index)
        ExpectDrawn(table(index), what + " " + std::to_string(index));
    EXPECT_TRUE(table(-1).isNull()) << what;
    EXPECT_TRUE(table(count).isNull()) << what;
}

std::size_t DistinctImages(const std::function<QIcon(int)>& table, int count)
{
    std::set<QByteArray> seen;
    for (int index = 0; index < count; ++index) {
        const QImage image = Render(table(index), 32);
        seen.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
    }
    return seen.size();
}

} // namespace

TEST(Images, EveryIndexOfEveryTableDrawsAndOutOfRangeIsNull)
{
    ExpectTable(Images::Small, Images::kSmallCount, "small image");
    ExpectTable(Images::CallState, Images::kCallStateCount, "call state");
    ExpectTable(Images::CallType, Images::kCallTypeCount, "call type");
    ExpectTable(Images::SetupPage, Images::kSetupPageCount, "setup page");
    for (int id : kIconIds)
        ExpectDrawn(Images::Icon(id), "icon " + std::to_string(id));
    for (int id : { 0, 127, 129, 260, 264, 278, 279, 282 })
        EXPECT_TRUE(Images::Icon(id).isNull()) << id;
    EXPECT_EQ(Images::CallStateList().size(), Images::kCallStateCount);
}

TEST(Images, NamesFindTheImageAtTheirIndex)
{
    for (std::size_t i = 0; i < kSmallNames.size(); ++i)
        EXPECT_EQ(Render(Images::Named(kSmallNames[i]), 32), Render(Images::Small(int(i)), 32))
            << kSmallNames[i];
    for (std::size_t i = 0; i < kCallStateNames.size(); ++i)
        EXPECT_EQ(Render(Images::Named(kCallStateNames[i]), 32), Render(Images::CallState(int(i)), 32))
            << kCallStateNames[i];
    for (const std::string& name : kButtonNames)
        ExpectDrawn(Images::Named(name), name);
    EXPECT_TRUE(Images::Named("").isNull());
    EXPECT_TRUE(Images::Named("dial16").isNull());
    EXPECT_TRUE(Images::Named("251").isNull());
}

// Each meaning has its own picture; only the repeated line-node states share one.
TEST(Images, DifferentMeaningsLookDifferent)
{
    EXPECT_EQ(DistinctImages(Images::Small, Images::kSmallCount), std::size_t(Images::kSmallCount));
    EXPECT_EQ(DistinctImages(Images::CallState, Images::kCallStateCount), std::size_t(20));
    EXPECT_EQ(DistinctImages(Images::CallType, Images::kCallTypeCount), std::size_t(Images::kCallTypeCount));
    EXPECT_EQ(
        DistinctImages(Images::SetupPage, Images::kSetupPageCount), std::size_t(Images::kSetupPageCount));
    std::set<QByteArray> buttons;
    for (const std::string& name : kButtonNames) {
        const QImage image = Render(Images::Named(name), 48);
        buttons.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
    }
    EXPECT_EQ(buttons.size(), kButtonNames.size());
}

namespace {

double Luminance(const QColor& colour)
{
    const auto channel = [](double value) {
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF())
        + 0.0722 * channel(colour.blueF());
}

// The contrast ratio of the icon's opaque strokes (their mean colour) against the window colour.
double InkContrast(const QIcon& icon, const QColor& window)
{
    const QImage image = Render(icon, 32);
    double red = 0, green = 0, blue = 0;
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() < 250)
                continue;
            red += pixel.redF();
            green += pixel.greenF();
            blue += pixel.blueF();
            ++count;
        }
    }
    if (count == 0)
        return 0;
    const double ink
        = Luminance(QColor::fromRgbF(float(red / count), float(green / count), float(blue / count)));
    const double back = Luminance(window);
    return (std::max(ink, back) + 0.05) / (std::min(ink, back) + 0.05);
}

} // namespace

// The blue, slate, violet and red strokes read on a light window and, in lighter tints, on a dark
// one; the Call button draws its own background and looks the same in both.
TEST(Images, IconsReadOnLightAndDarkWindows)
{
    const QPalette original = QGuiApplication::palette();
    const QColor lightWindow = original.color(QPalette::Window);
    const QImage callButton = Render(Images::Named("KesCallUp"), 48);
    const char* names[] = { "Contacts", "Setup", "VoiceMail", "MissedCalls", "LINE_PSTN_ON_HOOK" };
    for (const char* name : names)
        EXPECT_GE(InkContrast(Images::Named(name), lightWindow), 3.0) << name;

    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
    dark.setColor(QPalette::WindowText, Qt::white);
    QGuiApplication::setPalette(dark);
    for (const char* name : names)
        EXPECT_GE(InkContrast(Images::Named(name), dark.color(QPalette::Window)), 4.5) << name;
    EXPECT_EQ(Render(Images::Named("KesCallUp"), 48), callButton);
    QGuiApplication::setPalette(original);
}
