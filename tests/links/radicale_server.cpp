#include "radicale_server.h"

#include "support/tool_run.h"

#include <QEventLoop>
#include <QNetworkReply>
#include <QTcpServer>

#include <csignal>
#include <fstream>
#include <iterator>
#include <sstream>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

int FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// The server's process is the script's orphan, reaped by whoever adopted it: a zombie counts as
// ended.
bool Running(long pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string skip;
    std::string state;
    return stat >> skip >> skip >> state && state != "Z";
}

} // namespace

RadicaleServer::RadicaleServer()
    : m_port(FreePort())
{
}

RadicaleServer::~RadicaleServer()
{
    Stop();
}

bool RadicaleServer::Start()
{
    const testing_support::ToolRun run
        = testing_support::RunTool(std::string(KESTRIUM_SOURCE_DIR) + "/scripts/office/start-radicale "
            + m_folder.Path().string() + " " + std::to_string(m_port) + " " + kUser + " " + kPassword);
    if (run.status != 0)
        return false;
    m_pid = std::stol(run.output);
    return m_pid > 0;
}

void RadicaleServer::Stop()
{
    if (m_pid <= 0)
        return;
    ::kill(pid_t(m_pid), SIGTERM);
    testing_support::WaitUntil([this] { return !Running(m_pid); }, std::chrono::seconds(10));
    m_pid = 0;
}

QUrl RadicaleServer::ServerUrl() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(m_port));
}

QUrl RadicaleServer::BookUrl() const
{
    return ServerUrl().resolved(QUrl(QStringLiteral("/%1/contacts/").arg(kUser)));
}

std::string RadicaleServer::SeedCard(int n)
{
    const std::string id = std::to_string(n);
    char number[32];
    std::snprintf(number, sizeof number, "+1 555 %07d", n);
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:seed-" + id + "\r\nN:Last" + id + ";First" + id
        + ";;;\r\nFN:First" + id + " Last" + id + "\r\nTEL;TYPE=WORK:" + number
        + "\r\nBDAY:1980-01-01\r\nCATEGORIES:Business\r\nEND:VCARD\r\n";
}

void RadicaleServer::Seed(int count)
{
    const fs::path book = m_folder.Path() / "collections" / "collection-root" / kUser / "contacts";
    fs::create_directories(book);
    std::ofstream(book / ".Radicale.props") << R"({"D:displayname": "Contacts", "tag": "VADDRESSBOOK"})";
    for (int n = 0; n < count; ++n)
        std::ofstream(book / ("seed-" + std::to_string(n) + ".vcf"), std::ios::binary) << SeedCard(n);
}

int RadicaleServer::CardCount() const
{
    const fs::path book = m_folder.Path() / "collections" / "collection-root" / kUser / "contacts";
    int count = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(book))
        count += entry.path().extension() == ".vcf" ? 1 : 0;
    return count;
}

double RadicaleServer::CpuSeconds() const
{
    // /proc/PID/stat: the fields after the parenthesised command name; utime and stime are the
    // 12th and 13th of them, in clock ticks.
    std::ifstream stat("/proc/" + std::to_string(m_pid) + "/stat");
    const std::string line((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(line.substr(line.rfind(')') + 1));
    std::string field;
    long ticks = 0;
    for (int i = 0; i < 13 && fields >> field; ++i) {
        if (i >= 11)
            ticks += std::stol(field);
    }
    return double(ticks) / double(::sysconf(_SC_CLK_TCK));
}

int RadicaleServer::Send(
    const QByteArray& method, const std::string& name, const QByteArray& body, std::string* reply)
{
    QNetworkRequest request(BookUrl().resolved(QUrl(QString::fromStdString(name))));
    request.setRawHeader(
        "Authorization", "Basic " + QByteArray(kUser).append(':').append(kPassword).toBase64());
    if (!body.isEmpty())
        request.setHeader(QNetworkRequest::ContentTypeHeader, "text/vcard");
    QNetworkReply* answer = m_network.sendCustomRequest(request, method, body);
    QEventLoop wait;
    QObject::connect(answer, &QNetworkReply::finished, &wait, &QEventLoop::quit);
    wait.exec();
    if (reply != nullptr)
        *reply = answer->readAll().toStdString();
    const int status = answer->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer->deleteLater();
    return status;
}

int RadicaleServer::Put(const std::string& name, const std::string& card)
{
    return Send("PUT", name, QByteArray::fromStdString(card), nullptr);
}

int RadicaleServer::Delete(const std::string& name)
{
    return Send("DELETE", name, {}, nullptr);
}

int RadicaleServer::Get(const std::string& name, std::string* body)
{
    return Send("GET", name, {}, body);
}

NoSyncProxy::NoSyncProxy(const RadicaleServer& server, int refusal)
    : m_server(server)
    , m_refusal(refusal)
{
}

NoSyncProxy::~NoSyncProxy()
{
    m_process.kill();
    m_process.waitForFinished();
}

bool NoSyncProxy::Start()
{
    m_process.start("python3",
        { KESTRIUM_SOURCE_DIR "/tests/links/no_sync_proxy.py", QString::number(m_server.Port()),
            QString::number(m_refusal) });
    // The first line is the port it listens on.
    while (!m_output.contains('\n') && m_process.waitForReadyRead(10'000))
        m_output += m_process.readAllStandardOutput();
    const qsizetype end = m_output.indexOf('\n');
    m_port = end > 0 ? m_output.left(end).toInt() : 0;
    m_output.remove(0, end + 1);
    return m_port > 0;
}

QUrl NoSyncProxy::ServerUrl() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(m_port));
}

int NoSyncProxy::Refused()
{
    constexpr int kQuietMs = 50;
    while (m_process.waitForReadyRead(kQuietMs))
        m_output += m_process.readAllStandardOutput();
    m_output += m_process.readAllStandardOutput();
    return int(m_output.count("refused\n"));
}
