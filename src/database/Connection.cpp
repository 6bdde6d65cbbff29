#include "database/Connection.h"

#include "database/FirebirdError.h"
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
} // namespace

Connection::~Connection() {
    try {
        Close();
    } catch (const FirebirdError&) {
        // The handle is released either way; nothing is left to report at destruction.
    }
}

void Connection::Open() {
    if (Connected()) return;
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
    ISC_STATUS_ARRAY status;
    isc_detach_database(status, &handle_);
    handle_ = 0;
    check(status);
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
    if (!connection_.Connected()) throw Failure(QStringLiteral("Database not open"));
    if (InTransaction()) throw Failure(QStringLiteral("Transaction is active"));
    static const char tpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed, isc_tpb_rec_version,
                               isc_tpb_nowait};
    ISC_STATUS_ARRAY status;
    isc_start_transaction(status, &handle_, 1, connection_.handle(), static_cast<unsigned short>(sizeof tpb),
                          tpb);
    check(status);
}

void Transaction::Commit() {
    if (!InTransaction()) throw Failure(QStringLiteral("Transaction is not active"));
    ISC_STATUS_ARRAY status;
    isc_commit_transaction(status, &handle_);
    check(status);
}

void Transaction::Rollback() {
    if (!InTransaction()) throw Failure(QStringLiteral("Transaction is not active"));
    ISC_STATUS_ARRAY status;
    isc_rollback_transaction(status, &handle_);
    check(status);
}

void Transaction::endQuietly() {
    if (!InTransaction()) return;
    ISC_STATUS_ARRAY status;
    isc_commit_transaction(status, &handle_);
    if (handle_ != 0) isc_rollback_transaction(status, &handle_);
    // A server that has gone cannot end it; the client side is released with the attachment.
    handle_ = 0;
}

} // namespace db
