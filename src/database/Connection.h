#pragma once
// The connection to the shop database and its transactions, owning their client handles. Every
// call into the client on the open attachment is bounded (see Watchdog.h), and so is the attach.
#include "database/FirebirdError.h"
#include "database/Watchdog.h"

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
    // Seconds an attach waits for the server: first for the TCP connection, then again for the
    // server to answer it. A server that accepts the connection and then stays silent, or a host
    // that drops connection attempts, would otherwise hold the attach for minutes.
    static constexpr int kTempoLimiteConexaoPadrao = 10;
    int TempoLimiteConexao = kTempoLimiteConexaoPadrao;
    // How long one call on the open attachment may take before it is cancelled and counts as a
    // lost connection; tests shorten it.
    static inline int LimiteChamadaMs = 10000;

    // Attaches with SQL dialect 3, no character set and the connect timeout. Raises FirebirdError,
    // also when the program is closing (nothing is opened then).
    void Open();
    // Ends every active transaction (committed if the server still takes it) and detaches.
    // The handles are released even when the server has gone; a failed detach is raised.
    void Close();
    bool Connected() const { return handle_ != 0; }

    isc_db_handle* handle() { return &handle_; }

    // Runs one call of the client on this attachment under the watchdog and returns what the
    // call returned, its status left to the caller; a call the watchdog cancelled is raised as a
    // lost connection that says why.
    template <typename Call> ISC_STATUS runWatched(ISC_STATUS* status, Call&& call) {
        WatchedCall watch(handle_, LimiteChamadaMs);
        const ISC_STATUS result = call(status);
        if (const Cancellation cancellation = watch.finish(); cancellation != Cancellation::None)
            raiseCancelled(status, cancellation, watch.limitMs);
        return result;
    }
    // The same, with a failure of the call raised as a FirebirdError.
    template <typename Call> ISC_STATUS run(Call&& call) {
        ISC_STATUS_ARRAY status;
        const ISC_STATUS result = runWatched(status, call);
        check(status);
        return result;
    }
    // The same for a call whose failure nobody can act on (releasing a handle): bounded, never raised.
    template <typename Call> void runQuietly(Call&& call) {
        ISC_STATUS_ARRAY status;
        WatchedCall watch(handle_, LimiteChamadaMs);
        call(status);
    }

private:
    friend class Transaction;
    [[noreturn]] static void raiseCancelled(const ISC_STATUS* status, Cancellation cancellation, int limitMs);

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
