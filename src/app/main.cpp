#include <QApplication>
#include <QDir>
#include <QLabel>

// Until the main window exists, Kestrium shows a small window that names its data folder.
int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QLabel label(QObject::tr("Kestrium\nData folder: %1").arg(QDir::currentPath()));
    label.setWindowTitle("Kestrium");
    label.setTextFormat(Qt::PlainText);
    label.setMargin(24);
    label.show();
    return app.exec();
}
