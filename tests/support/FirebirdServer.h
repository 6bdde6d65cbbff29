#pragma once
// The private Firebird server of one test binary, on a free loopback port, started on first use
// and stopped when the binary ends; and the shop databases the tests create on it.
#include <QString>
#include <QStringList>
#include <vector>

class TMD;

class FirebirdServer {
public:
    // The one server of this test binary, started if it is not running.
    static FirebirdServer& shared();

    void start();
    void stop();
    // The server stops answering with every connection left open, as a stalled or overloaded
    // server does, and goes on again.
    void pause();
    void resume();

    int port() const { return port_; }
    // The Servidor value of a site whose database this server holds.
    QString servidor() const { return QStringLiteral("localhost/%1").arg(port_); }
    // The file the program's derived database name reaches through the server's alias.
    QString aliasedFile() const { return root_ + QStringLiteral("/data/Nutrava.fdb"); }
    QString fileFor(const QString& name) const {
        return root_ + QStringLiteral("/data/") + name + QStringLiteral(".fdb");
    }
    QString connectionName(const QString& file) const { return servidor() + u':' + file; }

    // Creates a database with the shop tables (dropping one of that name first).
    void createShopDatabase(const QString& file);
    // Creates the shop database of a test suite and gives its connection name.
    QString shopDatabase(const QString& name);

    ~FirebirdServer();

private:
    FirebirdServer();
    QString root_;
    int port_ = 0;
    bool running_ = false;
};

// Pauses the server for its lifetime; it goes on again on every way out of a test.
class PausedServer {
public:
    explicit PausedServer(FirebirdServer& server) : server_(server) { server_.pause(); }
    ~PausedServer() { resume(); }
    PausedServer(const PausedServer&) = delete;
    PausedServer& operator=(const PausedServer&) = delete;
    void resume() {
        if (paused_) server_.resume();
        paused_ = false;
    }

private:
    FirebirdServer& server_;
    bool paused_ = true;
};

// Points a data module at a database without the start-up gate.
void connectDataModule(TMD& md, const QString& connectionName);

// A plain session for arranging and inspecting the shop tables; every statement is committed.
class ShopSession {
public:
    explicit ShopSession(const QString& connectionName);
    ~ShopSession();
    void exec(const QString& sql);
    void exec(const QStringList& statements);
    // Every row of a query, each field as text.
    std::vector<QStringList> rows(const QString& sql);
    QString scalar(const QString& sql);
    // Empties the seven shop tables.
    void clear();

private:
    struct Parts;
    Parts* parts_;
};
