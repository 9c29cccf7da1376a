// Checks that tests/tsan.supp hides only Qt's own calls: this program races on purpose in its own
// code, once on a thread Qt created (QThread) and once in a timer slot that Qt's event loop
// calls, and ThreadSanitizer must report it (the test passes only when it does).
#include <QCoreApplication>
#include <QThread>
#include <QTimer>

namespace {

int g_bumps = 0; // written by both threads without a lock: the race to be found

void BumpOnQtThread()
{
    ++g_bumps;
}

void BumpFromEventLoop()
{
    ++g_bumps;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QThread thread;
    QObject::connect(&thread, &QThread::started, &BumpOnQtThread); // runs on the new thread
    QTimer::singleShot(0, &app, [] {
        BumpFromEventLoop();
        QCoreApplication::quit();
    });
    thread.start();
    const int result = QCoreApplication::exec();
    thread.quit();
    thread.wait();
    return result;
}
