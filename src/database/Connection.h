#pragma once
// The connection to the shop database and its transactions, owning their client handles.
#include <QString>
#include <QStringList>
#include <ibase.h>
#include <vector>

namespace db {

class Transaction;

class Connection {
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    QString DatabaseName;
    // "name=value" lines; user_name and password are understood.
    QStringList Params;
    // Seconds an attach waits for the server to answer. A server that accepts the connection and
    // then stays silent would otherwise hold the attach, and the GUI thread, for minutes.
    static constexpr int kTempoLimiteConexaoPadrao = 10;
    int TempoLimiteConexao = kTempoLimiteConexaoPadrao;

    // Attaches with SQL dialect 3, no character set and the connect timeout. Raises FirebirdError.
    void Open();
    // Ends every active transaction (committed if the server still takes it) and detaches.
    // The handles are released even when the server has gone; a failed detach is raised.
    void Close();
    bool Connected() const { return handle_ != 0; }

    isc_db_handle* handle() { return &handle_; }

private:
    friend class Transaction;
    isc_db_handle handle_ = 0;
    std::vector<Transaction*> transactions_;
};

// A transaction with the parameters read_committed, rec_version, nowait, write. Rolled back on
// destruction when still active.
class Transaction {
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Raises Failure when the connection is closed, FirebirdError when the server refuses.
    void StartTransaction();
    void Commit();
    void Rollback();
    bool InTransaction() const { return handle_ != 0; }

    isc_tr_handle* handle() { return &handle_; }

private:
    friend class Connection;
    // Ends the transaction at connection close; never raises.
    void endQuietly();

    Connection& connection_;
    isc_tr_handle handle_ = 0;
};

} // namespace db
