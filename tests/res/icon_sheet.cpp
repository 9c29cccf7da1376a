// Draws every image of the icon set on a light and on a dark background (in the variant a dark
// palette gets), at list size and twice that, into one PNG: kestrium-icon-sheet <output.png>.
// Fails when an image is missing.
#include "res/images.h"

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

struct Entry {
    QString label;
    QIcon icon;
    QIcon darkIcon; // as loaded while the application's palette is dark
};

struct Section {
    QString title;
    QSize size; // the size the windows show these images at
    std::vector<Entry> entries;
};

constexpr int kSheetColumns = 5;
constexpr int kMinCellWidth = 230;
constexpr int kMargin = 16;
const QColor kLight(0xF4, 0xF5, 0xF7);
const QColor kDark(0x1F, 0x22, 0x28);

std::vector<Entry> FromTable(
    const std::function<QIcon(int)>& table, int count, const QStringList& labels = {})
{
    std::vector<Entry> entries;
    for (int index = 0; index < count; ++index)
        entries.push_back(
            { QString::number(index) + (index < labels.size() ? " " + labels[index] : QString()),
                table(index), {} });
    return entries;
}

std::vector<Section> Sections()
{
    const QStringList names = Images::Names();
    std::vector<Entry> icons;
    for (int id : { 128, 261, 262, 263, 270, 271, 272, 273, 274, 275, 276, 277, 280, 281 })
        icons.push_back({ "icon " + QString::number(id), Images::Icon(id), {} });
    std::vector<Entry> buttons;
    for (const QString& name : names.filter("KesCall"))
        buttons.push_back({ name, Images::Named(name.toStdString()), {} });
    return {
        { "Small images", QSize(16, 16),
            FromTable(Images::Small, Images::kSmallCount, names.mid(0, Images::kSmallCount)) },
        { "Call states", QSize(16, 16),
            FromTable(Images::CallState, Images::kCallStateCount, names.mid(Images::kSmallCount, 15)) },
        { "Call types (+4 note, +8 recording, 16 unheard message)", QSize(24, 16),
            FromTable(Images::CallType, Images::kCallTypeCount) },
        { "Setup pages", QSize(24, 24), FromTable(Images::SetupPage, Images::kSetupPageCount) },
        { "Icons", QSize(16, 16), icons },
        { "Call and End buttons", QSize(48, 36), buttons },
    };
}

int RowHeight(const Section& section)
{
    return section.size.height() * 2 + 34;
}

// Each swatch holds the image at 1x and at 2x with some air around them.
int SwatchWidth(const Section& section)
{
    return std::max((kMinCellWidth - 12) / 2, section.size.width() * 3 + 32);
}

int CellWidth(const Section& section)
{
    return SwatchWidth(section) * 2 + 12;
}

int Columns(const Section& section)
{
    return std::max(1, kSheetColumns * kMinCellWidth / CellWidth(section));
}

int Rows(const Section& section)
{
    return (int(section.entries.size()) + Columns(section) - 1) / Columns(section);
}

int SheetHeight(const std::vector<Section>& sections)
{
    int height = kMargin;
    for (const Section& section : sections) {
        height += 28 + Rows(section) * RowHeight(section);
    }
    return height + kMargin;
}

// One cell: the image at 1x and 2x on a light swatch and on a dark swatch, its label beneath.
bool DrawCell(QPainter& painter, const Section& section, const Entry& entry, QPoint at)
{
    const QSize big = section.size * 2;
    const int swatchWidth = SwatchWidth(section);
    const int swatchHeight = big.height() + 8;
    bool drawn = !entry.icon.isNull();
    for (int half = 0; half < 2; ++half) {
        const QRect swatch(at.x() + half * (swatchWidth + 4), at.y(), swatchWidth, swatchHeight);
        painter.fillRect(swatch, half == 0 ? kLight : kDark);
        const QIcon& icon = half == 0 ? entry.icon : entry.darkIcon;
        const QPixmap small = icon.pixmap(section.size);
        const QPixmap large = icon.pixmap(big);
        drawn = drawn && !small.isNull() && !large.isNull();
        painter.drawPixmap(swatch.x() + 10, swatch.y() + (swatchHeight - small.height()) / 2, small);
        painter.drawPixmap(swatch.x() + 22 + section.size.width(), swatch.y() + 4, large);
    }
    painter.setPen(QColor(0x44, 0x4B, 0x57));
    painter.drawText(
        QRect(at.x(), at.y() + swatchHeight + 2, CellWidth(section) - 8, 16), Qt::AlignLeft, entry.label);
    return drawn;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestrium-icon-sheet <output.png>\n");
        return 2;
    }
    std::vector<Section> sections = Sections();
    QPalette dark;
    dark.setColor(QPalette::Window, kDark);
    dark.setColor(QPalette::WindowText, Qt::white);
    const QPalette light = QGuiApplication::palette();
    QGuiApplication::setPalette(dark);
    const std::vector<Section> darkSections = Sections();
    QGuiApplication::setPalette(light);
    for (std::size_t section = 0; section < sections.size(); ++section) {
        for (std::size_t entry = 0; entry < sections[section].entries.size(); ++entry)
            sections[section].entries[entry].darkIcon = darkSections[section].entries[entry].icon;
    }
    QImage sheet(kMargin * 2 + kSheetColumns * kMinCellWidth, SheetHeight(sections), QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    bool complete = true;
    int y = kMargin;
    for (const Section& section : sections) {
        QFont bold = font;
        bold.setBold(true);
        painter.setFont(bold);
        painter.setPen(Qt::black);
        painter.drawText(kMargin, y + 16, section.title);
        painter.setFont(font);
        y += 28;
        for (std::size_t i = 0; i < section.entries.size(); ++i) {
            const int column = int(i) % Columns(section);
            const QPoint at(
                kMargin + column * CellWidth(section), y + int(i) / Columns(section) * RowHeight(section));
            complete = DrawCell(painter, section, section.entries[i], at) && complete;
        }
        y += Rows(section) * RowHeight(section);
    }
    painter.end();
    if (!complete)
        std::fprintf(stderr, "some images are missing\n");
    if (!sheet.save(QString::fromLocal8Bit(argv[1])))
        return 1;
    return complete ? 0 : 1;
}
