#pragma once

#include "support/temp_dir.h"

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QUrl>

#include <filesystem>
#include <string>

// A Radicale CardDAV server on loopback, started by scripts/office/start-radicale in a private
// folder with the user "office" and the address book /office/contacts/. Stop and Start keep the
// storage. The plain HTTP helpers stand for a colleague's address book program.
class RadicaleServer {
public:
    static constexpr const char* kUser = "office";
    static constexpr const char* kPassword = "office";

    RadicaleServer();
    ~RadicaleServer();
    RadicaleServer(const RadicaleServer&) = delete;
    RadicaleServer& operator=(const RadicaleServer&) = delete;

    bool Start();
    void Stop();

    QUrl ServerUrl() const;
    QUrl BookUrl() const;
    int Port() const { return m_port; }
    // Writes `count` cards ("seed-<n>.vcf") straight into the storage; for a stopped server.
    void Seed(int count);
    static std::string SeedCard(int n);

    // A colleague's requests: the status, and the body of a GET.
    int Put(const std::string& name, const std::string& card);
    int Delete(const std::string& name);
    int Get(const std::string& name, std::string* body = nullptr);
    // How many cards the storage holds.
    int CardCount() const;
    // The processor time the server's process has used so far, in seconds (user and system).
    double CpuSeconds() const;

private:
    int Send(const QByteArray& method, const std::string& name, const QByteArray& body, std::string* reply);

    testing_support::TempDir m_folder;
    int m_port = 0;
    long m_pid = 0;
    QNetworkAccessManager m_network;
};

// A CardDAV server without sync-collection (RFC 6578): tests/links/no_sync_proxy.py in front of a
// RadicaleServer refuses that report with `refusal` (403 or 501) and passes every other request on.
class NoSyncProxy {
public:
    NoSyncProxy(const RadicaleServer& server, int refusal);
    ~NoSyncProxy();
    NoSyncProxy(const NoSyncProxy&) = delete;
    NoSyncProxy& operator=(const NoSyncProxy&) = delete;

    bool Start();
    QUrl ServerUrl() const;
    // How many sync-collection reports were refused so far.
    int Refused();

private:
    const RadicaleServer& m_server;
    int m_refusal = 0;
    int m_port = 0;
    QProcess m_process;
    QByteArray m_output;
};
