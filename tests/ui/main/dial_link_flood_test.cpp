// Kestrium's link socket under a flood from a hostile local program: every request is answered,
// the program keeps running, and the user meets at most one message, never a box opened inside
// another.
#include "running_app.h"

#include "links/app_link.h"

#include <QLocalSocket>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Numbers without a digit, a name far over the limit, a number that can be dialled.
const std::vector<std::string> kRequests = { "dial\t---\t", "dial\t+\t", "dial\t()\t", "dial\t \t", "show",
    "dial\t*#\tMallory", "dial\t5550100\t" + std::string(900, 'x'), "dial\t5550100\tMallory" };

// Sends the requests one after another, each once the previous one was answered, as a loop of
// kestrium-dial runs does.
class Flood : public QObject {
public:
    explicit Flood(int requests)
        : m_left(requests)
    {
    }

    void Send()
    {
        if (m_left == 0)
            return;
        const std::string command = kRequests[m_left-- % kRequests.size()] + '\n';
        auto* client = new QLocalSocket(this);
        connect(
            client, &QLocalSocket::connected, client, [client, command] { client->write(command.c_str()); });
        connect(client, &QLocalSocket::disconnected, this, [this, client] {
            replies.push_back(client->readAll().toStdString());
            client->deleteLater();
            Send();
        });
        connect(client, &QLocalSocket::errorOccurred, this, [this, client](QLocalSocket::LocalSocketError) {
            if (client->state() == QLocalSocket::UnconnectedState && client->bytesAvailable() == 0) {
                replies.push_back("(no connection)");
                client->deleteLater();
                Send();
            }
        });
        client->connectToServer(QString::fromStdString(kestrium_dial::AppSocketPath()));
    }
    bool Done() const { return m_left == 0 && !findChild<QLocalSocket*>(); }

    std::vector<std::string> replies;

private:
    int m_left;
};

class DialLinkFlood : public RunningApp { };

TEST_F(DialLinkFlood, HundredsOfHostileRequestsLeaveAtMostOneMessageAndKestriumRunning)
{
    Start();
    Flood flood(400);
    // A message box left open by the user: its event loop serves the requests that keep coming.
    int shown = 0;
    int deepest = 0;
    m_prompter.whileShown = [&] {
        deepest = std::max(deepest, ++shown);
        for (int round = 0; round < 20000 && !flood.Done(); ++round)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        --shown;
    };
    flood.Send();
    for (int round = 0; round < 20000 && !flood.Done(); ++round)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    Settle();

    ASSERT_TRUE(flood.Done()) << flood.replies.size() << " requests answered";
    EXPECT_EQ(deepest <= 1, true) << deepest << " message boxes open inside each other";
    EXPECT_LE(m_prompter.messages.size(), 1u);
    for (const std::string& reply : flood.replies)
        ASSERT_TRUE(reply == "dialing\n" || reply == "shown\n" || reply.starts_with("error: ")) << reply;
    const auto dialing = std::count(flood.replies.begin(), flood.replies.end(), "dialing\n");
    EXPECT_GE(dialing, 1) << "a dialable number is still dialled";
    EXPECT_LE(dialing, 5) << "a link placed while another is being placed is refused";
    ASSERT_NE(m_app->Window(), nullptr);
    Stop();
}

} // namespace
