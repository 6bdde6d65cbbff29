#include "database/Connection.h"

#include "database/ServerAddress.h"
#include "platform/tcpprobe.h"
#include "platform/termination.h"
#include "platform/textfile.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace db {

namespace {
void addDpbText(std::string& dpb, char item, const std::string& value) {
    dpb += item;
    dpb += static_cast<char>(value.size());
    dpb += value;
}

void addDpbNumber(std::string& dpb, char item, int32_t value) {
    dpb += item;
    dpb += static_cast<char>(sizeof value);
    for (size_t i = 0; i < sizeof value; ++i)
        dpb += static_cast<char>((static_cast<uint32_t>(value) >> (8 * i)) & 0xFF);
}

std::string ansi(const QString& text) {
    return platform::toCp1252(text.toStdU16String());
}

FirebirdError closing() {
    return FirebirdError(
        isc_network_error,
        QStringLiteral("O programa está sendo encerrado; a conexão com o banco não é aberta."));
}

// The client connects with a blocking call that a host dropping connection attempts holds for
// minutes; the server is reached within the connect timeout first. A refusal or an unknown name
// is left to the client, which reports them at once in its own words.
void reachServer(const QString& databaseName, int timeoutSeconds) {
    const std::optional<ServerAddress> server = tcpServer(databaseName);
    if (!server) return;
    switch (platform::reachTcp(server->host, server->port, timeoutSeconds * 1000)) {
    case platform::TcpReach::TimedOut:
        throw FirebirdError(
            isc_network_error,
            QStringLiteral("O servidor do banco de dados %1 (porta %2) não respondeu em %3 "
                           "segundos.")
                .arg(QString::fromStdString(server->host), QString::fromStdString(server->port))
                .arg(timeoutSeconds));
    case platform::TcpReach::Interrupted:
        throw closing();
    case platform::TcpReach::Reached:
    case platform::TcpReach::Refused:
    case platform::TcpReach::Unresolved:
        return;
    }
}
} // namespace

Connection::~Connection() {
    try {
        Close();
    } catch (const FirebirdError&) {
        // The handle is released either way; nothing is left to report at destruction.
    }
}

void Connection::raiseCancelled(const ISC_STATUS* status, Cancellation cancellation) {
    // Even a call that returned in the very moment it was cancelled has lost its link.
    const FirebirdError client = failureOf(status);
    const long code = conexaoPerdida(client.code()) ? client.code() : isc_net_read_err;
    QString why =
        cancellation == Cancellation::Overrun
            ? QStringLiteral("O servidor do banco de dados não respondeu em %1 segundos; a operação "
                             "foi cancelada.")
                  .arg(LimiteChamadaMs / 1000.0)
            : QStringLiteral("Operação no banco de dados cancelada: o programa está sendo encerrado.");
    if (!client.message().isEmpty()) why += QStringLiteral("\r\n") + client.message();
    throw FirebirdError(code, why);
}

void Connection::Open() {
    if (Connected()) return;
    if (platform::terminationRequested()) throw closing();
    reachServer(DatabaseName, TempoLimiteConexao);
    std::string dpb(1, static_cast<char>(isc_dpb_version1));
    for (const QString& param : Params) {
        const QString name = param.section(u'=', 0, 0).trimmed().toLower();
        const std::string value = ansi(param.section(u'=', 1));
        if (name == QStringLiteral("user_name")) addDpbText(dpb, isc_dpb_user_name, value);
        if (name == QStringLiteral("password")) addDpbText(dpb, isc_dpb_password, value);
    }
    addDpbNumber(dpb, isc_dpb_sql_dialect, 3);
    addDpbNumber(dpb, isc_dpb_connect_timeout, TempoLimiteConexao);
    const std::string name = ansi(DatabaseName);
    ISC_STATUS_ARRAY status;
    isc_db_handle handle = 0;
    isc_attach_database(status, 0, name.c_str(), &handle, static_cast<short>(dpb.size()), dpb.data());
    check(status);
    handle_ = handle;
}

void Connection::Close() {
    if (!Connected()) return;
    for (Transaction* t : transactions_)
        t->endQuietly();
    // The handle is gone whatever the detach reports.
    struct Released {
        isc_db_handle& handle;
        ~Released() { handle = 0; }
    } released{handle_};
    run([&](ISC_STATUS* status) { return isc_detach_database(status, &handle_); });
}

Transaction::Transaction(Connection& connection) : connection_(connection) {
    connection_.transactions_.push_back(this);
}

Transaction::~Transaction() {
    endQuietly();
    auto& list = connection_.transactions_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void Transaction::StartTransaction() {
    if (!connection_.Connected())
        throw Failure(QStringLiteral("a conexão com o banco de dados não está aberta"));
    if (InTransaction()) throw Failure(QStringLiteral("a transação já está ativa"));
    static const char tpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed, isc_tpb_rec_version,
                               isc_tpb_nowait};
    connection_.run([&](ISC_STATUS* status) {
        return isc_start_transaction(status, &handle_, 1, connection_.handle(),
                                     static_cast<unsigned short>(sizeof tpb), tpb);
    });
}

void Transaction::Commit() {
    if (!InTransaction()) throw Failure(QStringLiteral("a transação não está ativa"));
    connection_.run([&](ISC_STATUS* status) { return isc_commit_transaction(status, &handle_); });
}

void Transaction::Rollback() {
    if (!InTransaction()) throw Failure(QStringLiteral("a transação não está ativa"));
    connection_.run([&](ISC_STATUS* status) { return isc_rollback_transaction(status, &handle_); });
}

void Transaction::endQuietly() {
    if (!InTransaction()) return;
    connection_.runQuietly([&](ISC_STATUS* status) { return isc_commit_transaction(status, &handle_); });
    if (handle_ != 0)
        connection_.runQuietly(
            [&](ISC_STATUS* status) { return isc_rollback_transaction(status, &handle_); });
    // A server that has gone cannot end it; the client side is released with the attachment.
    handle_ = 0;
}

} // namespace db
