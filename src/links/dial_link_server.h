#pragma once

#include "links/app_link.h"

#include <QLocalServer>
#include <QObject>

#include <functional>
#include <string>

class LineManager;
class QLocalSocket;

// Kestrium's own socket (links/app_link.h), where kestrium-dial hands over the tel: and callto:
// links the desktop gives it. A link is dialled on the default line exactly as another
// application's dialing request is, but whether or not the program is the system dialer: the user
// chose Kestrium for the link by clicking it. "show" brings the main window to the front (through
// `bringToFront`: the window lives in a layer above this one).
class DialLinkServer : public QObject {
    Q_OBJECT
public:
    // Longest command line taken, and the time a client has to send it.
    static constexpr qint64 kMaxCommandBytes = kestrium_dial::kMaxCommandBytes;
    static constexpr int kCommandDeadlineMs = 2000;

    DialLinkServer(LineManager& lines, std::function<void()> bringToFront);

    // Starts serving; false with a reason when XDG_RUNTIME_DIR is not set or another Kestrium
    // serves the socket already.
    bool Listen(std::string& error);

private:
    void Accept();
    void Serve(QLocalSocket& client);
    std::string Run(const kestrium_dial::AppCommand& command);

    LineManager& m_lines;
    std::function<void()> m_bringToFront;
    QLocalServer m_server;
    bool m_placing = false; // a link's call is being placed (its message may be waiting for the user)
};
