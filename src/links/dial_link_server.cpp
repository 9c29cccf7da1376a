#include "links/dial_link_server.h"

#include "telephony/line_manager.h"

#include <QLocalSocket>
#include <QTimer>

#include <sys/stat.h>

using kestrium_dial::AppCommand;

namespace {

// A client that connects at once holds the socket; a socket file nobody answers on was left by a
// Kestrium that ended.
bool SomeoneAnswers(const QString& path)
{
    QLocalSocket probe;
    probe.connectToServer(path);
    return probe.waitForConnected(500);
}

bool IsSocketFile(const std::string& path)
{
    struct stat info { };
    return ::lstat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

} // namespace

DialLinkServer::DialLinkServer(LineManager& lines, std::function<void()> bringToFront)
    : m_lines(lines)
    , m_bringToFront(std::move(bringToFront))
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &DialLinkServer::Accept);
}

bool DialLinkServer::Listen(std::string& error)
{
    const std::string path = kestrium_dial::AppSocketPath();
    if (path.empty()) {
        error = "XDG_RUNTIME_DIR is not set, so links cannot reach Kestrium";
        return false;
    }
    const QString name = QString::fromStdString(path);
    if (SomeoneAnswers(name)) {
        error = "another Kestrium takes the links at " + path;
        return false;
    }
    if (IsSocketFile(path))
        QLocalServer::removeServer(name);
    if (!m_server.listen(name)) {
        error = "cannot take links at " + path + " (" + m_server.errorString().toStdString() + ")";
        return false;
    }
    return true;
}

void DialLinkServer::Accept()
{
    while (QLocalSocket* client = m_server.nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] { Serve(*client); });
        QTimer::singleShot(kCommandDeadlineMs, client, [client] { client->abort(); });
    }
}

void DialLinkServer::Serve(QLocalSocket& client)
{
    if (!client.canReadLine() && client.bytesAvailable() <= kMaxCommandBytes)
        return;
    client.disconnect(this);
    const QByteArray line = client.readLine(kMaxCommandBytes + 1);
    const std::string reply = line.endsWith('\n')
        ? Run(kestrium_dial::ParseAppCommand(line.chopped(1).toStdString()))
        : std::string(kestrium_dial::kErrorReply) + "the command is too long";
    client.write((reply + '\n').c_str());
    client.disconnectFromServer();
}

// The reply goes out before the call is placed: placing it may show a message (no free call, a
// refused number) that waits for the user, and the launcher waits for the reply. One link is placed
// at a time: the requests that arrive meanwhile (the message's event loop serves them) are refused,
// so a flood of links can neither pile up calls nor open a message inside another.
std::string DialLinkServer::Run(const AppCommand& command)
{
    switch (command.kind) {
    case AppCommand::Kind::Show:
        m_bringToFront();
        return std::string(kestrium_dial::kShownReply);
    case AppCommand::Kind::Dial:
        if (m_placing)
            return std::string(kestrium_dial::kErrorReply)
                + "Kestrium is still placing the call of an earlier link; try again in a moment";
        if (!m_lines.GetLineSlot(m_lines.GetDefaultLine()).IsOpen())
            return std::string(kestrium_dial::kErrorReply) + "Kestrium's default line is not open";
        m_placing = true;
        QTimer::singleShot(0, this, [this, command] {
            m_lines.PlaceRequestedCall(command.number, command.name);
            m_placing = false;
        });
        return std::string(kestrium_dial::kDialingReply);
    case AppCommand::Kind::Invalid:
        break;
    }
    return std::string(kestrium_dial::kErrorReply) + command.problem;
}
