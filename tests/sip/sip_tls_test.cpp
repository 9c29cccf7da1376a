// SIP over TLS: a line talks only to a registrar whose certificate verifies for the registrar's
// host, through the system CA list or the account's ca-file. `openssl s_server` plays the
// registrar: it writes what it decrypted to its output file and never answers.
#include "sip_fixture.h"

#include "support/tool_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

namespace {

// `openssl s_server` on a loopback port with cert.pem and key.pem of a folder; its standard
// input is a pipe held open, since it stops at the end of its input.
class TlsServer {
public:
    ~TlsServer()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_input >= 0)
            ::close(m_input);
    }

    bool Start(const std::filesystem::path& folder, std::uint16_t port)
    {
        m_output = folder / "s_server.txt";
        int input[2];
        if (::pipe(input) != 0)
            return false;
        m_pid = ::fork();
        if (m_pid == 0) {
            const int log = ::open(m_output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(log, 1);
            ::dup2(log, 2);
            ::dup2(input[0], 0);
            ::close(input[1]);
            ::execlp("openssl", "openssl", "s_server", "-ign_eof", "-accept", std::to_string(port).c_str(),
                "-cert", (folder / "cert.pem").c_str(), "-key", (folder / "key.pem").c_str(), nullptr);
            ::_exit(127);
        }
        ::close(input[0]);
        m_input = input[1];
        return m_pid > 0
            && testing_support::WaitUntil([&] { return Output().find("ACCEPT") != std::string::npos; },
                std::chrono::seconds(5));
    }

    std::string Output() const
    {
        std::ifstream file(m_output);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

private:
    pid_t m_pid = -1;
    int m_input = -1;
    std::filesystem::path m_output;
};

// Line 5 registers over TLS with the registrar at 127.0.0.1; the server's self-signed
// certificate names `altName`, and the account trusts it through ca-file when `trusted`.
class SipTls : public SipFixture {
protected:
    SipTls(const std::string& altName, bool trusted)
        : m_trusted(trusted)
    {
        const auto run = testing_support::RunTool("cd '" + m_dir.Path().string()
            + "' && openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=" + altName.substr(altName.find(':') + 1)
            + " -addext subjectAltName=" + altName + " -days 2 -keyout key.pem -out cert.pem");
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_TRUE(m_server.Start(m_dir.Path(), m_sippPort)) << m_server.Output();
    }

    std::string Line1Account() const override
    {
        return "transport = tls\nregister = yes\nregistrar = sip:127.0.0.1:" + std::to_string(m_sippPort) + "\n"
            + (m_trusted ? "ca-file = " + (m_dir / "cert.pem").string() + "\n" : "");
    }

    // Runs until the registrar's decrypted input shows a REGISTER (at most 4 s).
    bool RegistrarGotRegister()
    {
        return RunUntil([&] { return m_server.Output().find("REGISTER sip:127.0.0.1") != std::string::npos; }, 4000);
    }

    bool m_trusted;
    TlsServer m_server;
};

class SipTlsUnknownCertificate : public SipTls {
protected:
    SipTlsUnknownCertificate()
        : SipTls("IP:127.0.0.1", false)
    {
    }
};

// A certificate no trusted authority signed: the handshake fails, no request leaves, and the
// line is out of service saying why.
TEST_F(SipTlsUnknownCertificate, HandshakeIsRefusedAndTheLineStaysOutOfService)
{
    OpenLine(kLine1);
    EXPECT_FALSE(RegistrarGotRegister()) << m_server.Output();
    const std::string list = LineList();
    EXPECT_NE(list.find("IP Line 1 (sip, out of service: the server's TLS certificate was refused: self-signed"),
        std::string::npos)
        << list;
}

class SipTlsTrustedCertificate : public SipTls {
protected:
    SipTlsTrustedCertificate()
        : SipTls("IP:127.0.0.1", true)
    {
    }
};

// The account's ca-file trusts the registrar's certificate: the REGISTER goes through the
// verified channel (the server never answers it).
TEST_F(SipTlsTrustedCertificate, RegisterGoesThroughWithTheAccountsCaFile)
{
    OpenLine(kLine1);
    EXPECT_TRUE(RegistrarGotRegister()) << m_server.Output() << LineList();
    EXPECT_NE(LineList().find("IP Line 1 (sip, out of service: registering with sip:127.0.0.1"), std::string::npos)
        << LineList();
}

class SipTlsCertificateForAnotherHost : public SipTls {
protected:
    SipTlsCertificateForAnotherHost()
        : SipTls("DNS:pbx.kestrium.test", true)
    {
    }
};

// A trusted certificate, but for another host than the registrar's: refused like an unknown one.
TEST_F(SipTlsCertificateForAnotherHost, HandshakeIsRefused)
{
    OpenLine(kLine1);
    EXPECT_FALSE(RegistrarGotRegister()) << m_server.Output();
    const std::string list = LineList();
    EXPECT_NE(list.find("IP Line 1 (sip, out of service: the server's TLS certificate was refused: IP address "
                        "mismatch"),
        std::string::npos)
        << list;
}

} // namespace
