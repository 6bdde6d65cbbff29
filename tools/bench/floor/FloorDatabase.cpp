#include "FloorDatabase.h"

#include <cmath>
#include <cstring>
#include <ctime>
#include <string_view>

namespace bench {

namespace {
constexpr short kMaxColumns = 4;

int64_t nowUs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

// Adds the time of the calls in its scope to the floor's database time.
class Timed {
public:
    explicit Timed(int64_t& total) : total_(total), began_(nowUs()) {}
    ~Timed() { total_ += nowUs() - began_; }
    Timed(const Timed&) = delete;
    Timed& operator=(const Timed&) = delete;

private:
    int64_t& total_;
    int64_t began_;
};

void check(const ISC_STATUS* status, std::string_view what) {
    if (status[0] != 1 || status[1] == 0) return;
    std::string message = std::string(what) + " failed:";
    char part[512];
    const ISC_STATUS* vector = status;
    while (fb_interpret(part, sizeof part, &vector) > 0)
        message += std::string(" ") + part;
    throw FloorError(message);
}

// A statement handle, dropped however the statement ends.
class Statement {
public:
    explicit Statement(isc_db_handle* attachment) {
        ISC_STATUS_ARRAY status;
        isc_dsql_allocate_statement(status, attachment, &handle_);
        check(status, "allocate statement");
    }
    ~Statement() {
        ISC_STATUS_ARRAY status;
        isc_dsql_free_statement(status, &handle_, DSQL_drop);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    isc_stmt_handle* get() { return &handle_; }

private:
    isc_stmt_handle handle_ = 0;
};

FloorValue valueOf(const XSQLVAR& var) {
    FloorValue value;
    value.scale = var.sqlscale;
    if ((var.sqltype & 1) && *var.sqlind < 0) return value;
    switch (var.sqltype & ~1) {
    case SQL_SHORT:
        value.raw = *reinterpret_cast<const short*>(var.sqldata);
        break;
    case SQL_LONG:
        value.raw = *reinterpret_cast<const ISC_LONG*>(var.sqldata);
        break;
    case SQL_INT64:
        value.raw = *reinterpret_cast<const ISC_INT64*>(var.sqldata);
        break;
    case SQL_TYPE_DATE:
        value.isDate = true;
        value.raw = *reinterpret_cast<const ISC_DATE*>(var.sqldata);
        break;
    default:
        break;
    }
    return value;
}
} // namespace

double FloorValue::number() const {
    return static_cast<double>(raw) / std::pow(10.0, -scale);
}

QDateTime FloorValue::dateTime() const {
    // The client library counts days from 17 November 1858.
    const QDate day = isDate ? QDate(1858, 11, 17).addDays(raw) : QDate(1899, 12, 30);
    return QDateTime(day, QTime(0, 0));
}

FloorDatabase::FloorDatabase(const std::string& name) {
    static const char user[] = "SYSDBA", password[] = "kestrelio";
    std::string dpb{static_cast<char>(isc_dpb_version1)};
    dpb += {static_cast<char>(isc_dpb_user_name), static_cast<char>(sizeof user - 1)};
    dpb += user;
    dpb += {static_cast<char>(isc_dpb_password), static_cast<char>(sizeof password - 1)};
    dpb += password;
    dpb += {static_cast<char>(isc_dpb_sql_dialect), 4, 3, 0, 0, 0};
    ISC_STATUS_ARRAY status;
    isc_attach_database(status, 0, name.c_str(), &attachment_, static_cast<short>(dpb.size()), dpb.data());
    check(status, "attach to " + name);
}

FloorDatabase::~FloorDatabase() {
    ISC_STATUS_ARRAY status;
    if (reads_ != 0) isc_rollback_transaction(status, &reads_);
    if (writes_ != 0) isc_rollback_transaction(status, &writes_);
    isc_detach_database(status, &attachment_);
}

void FloorDatabase::start(isc_tr_handle* transaction) {
    static char tpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed, isc_tpb_rec_version,
                         isc_tpb_nowait};
    ISC_STATUS_ARRAY status;
    isc_start_transaction(status, transaction, 1, &attachment_, static_cast<unsigned short>(sizeof tpb), tpb);
    check(status, "start transaction");
}

FloorRows FloorDatabase::query(const QString& text) {
    const Timed timed(spentUs_);
    if (reads_ == 0) start(&reads_);
    FloorRows rows;
    run(&reads_, text, &rows);
    return rows;
}

void FloorDatabase::restartReads() {
    const Timed timed(spentUs_);
    if (reads_ != 0) {
        ISC_STATUS_ARRAY status;
        isc_rollback_transaction(status, &reads_);
        check(status, "rollback");
    }
    start(&reads_);
}

void FloorDatabase::commitReads() {
    const Timed timed(spentUs_);
    if (reads_ == 0) return;
    ISC_STATUS_ARRAY status;
    isc_commit_transaction(status, &reads_);
    check(status, "commit");
}

void FloorDatabase::write(const QString& text) {
    const Timed timed(spentUs_);
    start(&writes_);
    run(&writes_, text, nullptr);
    ISC_STATUS_ARRAY status;
    isc_commit_transaction(status, &writes_);
    check(status, "commit");
}

int64_t FloorDatabase::takeSpentUs() {
    const int64_t spent = spentUs_;
    spentUs_ = 0;
    return spent;
}

void FloorDatabase::run(isc_tr_handle* transaction, const QString& text, FloorRows* rows) {
    const QByteArray bytes = text.toLatin1();
    const std::string_view what(bytes.constData(), static_cast<size_t>(bytes.size()));
    ISC_STATUS_ARRAY status;
    Statement statement(&attachment_);
    // Prepared with room for one column, described again when there are more.
    alignas(XSQLDA) char area[XSQLDA_LENGTH(kMaxColumns)] = {};
    auto* out = reinterpret_cast<XSQLDA*>(area);
    out->version = SQLDA_VERSION1;
    out->sqln = 1;
    isc_dsql_prepare(status, transaction, statement.get(), static_cast<unsigned short>(bytes.size()),
                     bytes.constData(), 3, out);
    check(status, what);
    const short columns = out->sqld;
    if (columns > kMaxColumns) throw FloorError("too many columns in " + std::string(what));
    if (columns > out->sqln) {
        out->sqln = kMaxColumns;
        isc_dsql_describe(status, statement.get(), 1, out);
        check(status, "describe");
    }
    isc_dsql_execute(status, transaction, statement.get(), 1, nullptr);
    check(status, what);
    if (columns == 0 || rows == nullptr) return;
    char buffers[kMaxColumns][64];
    short nulls[kMaxColumns];
    for (short i = 0; i < columns; ++i) {
        out->sqlvar[i].sqldata = buffers[i];
        out->sqlvar[i].sqlind = &nulls[i];
    }
    ISC_STATUS fetched;
    while ((fetched = isc_dsql_fetch(status, statement.get(), 1, out)) == 0) {
        rows->last.clear();
        for (short i = 0; i < columns; ++i)
            rows->last.push_back(valueOf(out->sqlvar[i]));
        if (rows->count == 0) rows->first = rows->last;
        ++rows->count;
    }
    if (fetched != 100) check(status, "fetch");
    if (rows->count == 0) rows->first = rows->last = std::vector<FloorValue>(static_cast<size_t>(columns));
}

} // namespace bench
