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

class BumpingThread : public QThread {
protected:
    void run() override { BumpOnQtThread(); }
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    BumpingThread thread;
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
