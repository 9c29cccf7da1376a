#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the main thread, so that a shutdown of the
// machine, Ctrl+C or a closed terminal end the program the way its close box does. The handler only
// writes a byte into a pipe; everything else happens in the event loop.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    TerminationSignals();
    ~TerminationSignals() override;

signals:
    void terminationRequested(int signal);

private:
    void ReadSignal();

    std::unique_ptr<QSocketNotifier> m_notifier;
};
