// Renders the program's SVG icon as the PNG sizes of the desktop's icon theme:
//   kestrium-render-icon ICON.svg NAME OUTPUT_FOLDER SIZE...
// writes OUTPUT_FOLDER/<SIZE>x<SIZE>/apps/NAME.png for each size.

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <iostream>

namespace {

bool Render(QSvgRenderer& svg, int size, const QString& file)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter);
    painter.end();
    return QDir().mkpath(QFileInfo(file).path()) && image.save(file, "PNG");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::cerr << "usage: kestrium-render-icon ICON.svg NAME OUTPUT_FOLDER SIZE...\n";
        return 2;
    }
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid()) {
        std::cerr << "kestrium-render-icon: cannot read " << argv[1] << "\n";
        return 1;
    }
    const QString name = QString::fromLocal8Bit(argv[2]);
    const QString folder = QString::fromLocal8Bit(argv[3]);
    for (int i = 4; i < argc; ++i) {
        const int size = QString::fromLocal8Bit(argv[i]).toInt();
        const QString file = QString("%1/%2x%2/apps/%3.png").arg(folder).arg(size).arg(name);
        if (size <= 0 || !Render(svg, size, file)) {
            std::cerr << "kestrium-render-icon: cannot write " << file.toStdString() << "\n";
            return 1;
        }
    }
    return 0;
}
