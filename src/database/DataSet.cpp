#include "database/DataSet.h"

#include "database/FirebirdError.h"
#include "platform/convert.h"
#include "platform/failure.h"
#include "platform/regional.h"
#include "platform/textfile.h"

#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>
#include <memory>

namespace db {

namespace {
QString fromAnsi(const char* bytes, size_t size) {
    return QString::fromStdU16String(platform::fromCp1252(std::string_view(bytes, size)));
}

// The bytes of a statement text in the database's 8-bit code page. Characters up to U+00FF are
// their own byte, so a value read byte by byte from a turnstile reaches the database byte for
// byte; the other characters of Windows-1252 get their code-page byte.
std::string statementBytes(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<size_t>(text.size()));
    for (QChar c : text)
        bytes += c.unicode() <= 0xFF ? static_cast<char>(c.unicode())
                                     : platform::toCp1252(std::u16string(1, c.unicode())).front();
    return bytes;
}

// The statement handle, dropped on every path.
class StatementHandle {
public:
    explicit StatementHandle(Connection& connection) : connection_(connection) {
        connection_.run([&](ISC_STATUS* status) {
            return isc_dsql_allocate_statement(status, connection_.handle(), &handle_);
        });
    }
    ~StatementHandle() {
        if (handle_ != 0)
            connection_.runQuietly(
                [&](ISC_STATUS* status) { return isc_dsql_free_statement(status, &handle_, DSQL_drop); });
    }
    StatementHandle(const StatementHandle&) = delete;
    StatementHandle& operator=(const StatementHandle&) = delete;
    isc_stmt_handle* get() { return &handle_; }

private:
    Connection& connection_;
    isc_stmt_handle handle_ = 0;
};

// The output descriptor of a statement with a buffer for every column.
class OutputArea {
public:
    explicit OutputArea(short columns) : area_(static_cast<XSQLDA*>(std::calloc(1, XSQLDA_LENGTH(columns)))) {
        area_->version = SQLDA_VERSION1;
        area_->sqln = columns;
    }
    ~OutputArea() { std::free(area_); }
    OutputArea(const OutputArea&) = delete;
    OutputArea& operator=(const OutputArea&) = delete;

    XSQLDA* get() { return area_; }

    void bindBuffers() {
        buffers_.assign(static_cast<size_t>(area_->sqld), {});
        nulls_.assign(static_cast<size_t>(area_->sqld), 0);
        for (short i = 0; i < area_->sqld; ++i) {
            XSQLVAR& var = area_->sqlvar[i];
            size_t size = static_cast<size_t>(var.sqllen) + ((var.sqltype & ~1) == SQL_VARYING ? 2 : 0);
            buffers_[static_cast<size_t>(i)].assign(size + 8, 0);
            var.sqldata = buffers_[static_cast<size_t>(i)].data();
            var.sqlind = &nulls_[static_cast<size_t>(i)];
        }
    }

private:
    XSQLDA* area_;
    std::vector<std::vector<char>> buffers_;
    std::vector<short> nulls_;
};

// A date-time of the database carries no time zone: it is kept as UTC, which has no gaps, so a
// day whose local midnight a daylight-saving change skipped still reads as that day.
QDateTime zoneFree(const QDate& date, const QTime& time) {
    return QDateTime(date, time, Qt::UTC);
}

QDate dateOf(const std::tm& t) {
    return QDate(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
}

QTime timeOf(const std::tm& t, int fractionTenThousandths) {
    return QTime(t.tm_hour, t.tm_min, t.tm_sec, fractionTenThousandths / 10);
}

QString readBlob(Connection& connection, Transaction& transaction, ISC_QUAD id) {
    isc_blob_handle blob = 0;
    connection.run([&](ISC_STATUS* status) {
        return isc_open_blob2(status, connection.handle(), transaction.handle(), &blob, &id, 0, nullptr);
    });
    std::string bytes;
    char segment[4096];
    ISC_STATUS_ARRAY status;
    for (;;) {
        unsigned short length = 0;
        const ISC_STATUS result = connection.runWatched(status, [&](ISC_STATUS* s) {
            return isc_get_segment(s, &blob, &length, sizeof segment, segment);
        });
        if (result != 0 && result != isc_segment) break;
        bytes.append(segment, length);
    }
    connection.runQuietly([&](ISC_STATUS* s) { return isc_close_blob(s, &blob); });
    if (status[1] != isc_segstr_eof) check(status);
    return fromAnsi(bytes.data(), bytes.size());
}

// A value of type T at an address the client library may not have aligned.
template <typename T> T rawValue(const char* data) {
    T value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

FieldValue integerValue(int64_t n, short sqlscale) {
    FieldValue v;
    v.kind = FieldValue::Kind::Integer;
    v.integer = n;
    v.scale = -sqlscale;
    return v;
}

FieldValue moment(FieldValue::Kind kind, const QDate& date, const QTime& time) {
    FieldValue v;
    v.kind = kind;
    v.date = date;
    v.dateTime = zoneFree(date, time);
    return v;
}

FieldValue readValue(const XSQLVAR& var, Connection& connection, Transaction& transaction) {
    FieldValue v;
    if ((var.sqltype & 1) && *var.sqlind < 0) return v;
    const char* data = var.sqldata;
    std::tm t{};
    switch (var.sqltype & ~1) {
    case SQL_TEXT: {
        QString text = fromAnsi(data, static_cast<size_t>(var.sqllen));
        while (text.endsWith(u' '))
            text.chop(1);
        v.kind = FieldValue::Kind::Text;
        v.text = text;
        break;
    }
    case SQL_VARYING:
        v.kind = FieldValue::Kind::Text;
        v.text = fromAnsi(data + 2, static_cast<size_t>(rawValue<short>(data)));
        break;
    case SQL_SHORT:
        return integerValue(rawValue<int16_t>(data), var.sqlscale);
    case SQL_LONG:
        return integerValue(rawValue<int32_t>(data), var.sqlscale);
    case SQL_INT64:
        return integerValue(rawValue<int64_t>(data), var.sqlscale);
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        v.kind = FieldValue::Kind::Float;
        v.real = (var.sqltype & ~1) == SQL_FLOAT ? rawValue<float>(data) : rawValue<double>(data);
        break;
    case SQL_TYPE_DATE: {
        const auto d = rawValue<ISC_DATE>(data);
        isc_decode_sql_date(&d, &t);
        return moment(FieldValue::Kind::Date, dateOf(t), QTime(0, 0));
    }
    case SQL_TIMESTAMP: {
        const auto ts = rawValue<ISC_TIMESTAMP>(data);
        isc_decode_timestamp(&ts, &t);
        return moment(FieldValue::Kind::DateTime, dateOf(t),
                      timeOf(t, static_cast<int>(ts.timestamp_time % 10000)));
    }
    case SQL_TYPE_TIME: {
        const auto tm = rawValue<ISC_TIME>(data);
        isc_decode_sql_time(&tm, &t);
        return moment(FieldValue::Kind::Time, QDate(1899, 12, 30), timeOf(t, static_cast<int>(tm % 10000)));
    }
    case SQL_BOOLEAN:
        v.kind = FieldValue::Kind::Integer;
        v.integer = *reinterpret_cast<const unsigned char*>(data) != 0 ? 1 : 0;
        break;
    case SQL_BLOB:
        v.kind = FieldValue::Kind::Text;
        v.text = readBlob(connection, transaction, rawValue<ISC_QUAD>(data));
        break;
    default:
        v.kind = FieldValue::Kind::Text;
        break;
    }
    return v;
}

double scaled(const FieldValue& v) {
    return static_cast<double>(v.integer) / std::pow(10.0, v.scale);
}

QString numberText(double value) {
    QString text = QString::number(value, 'g', 15);
    return text.replace(u'.', regional::decimalSeparator());
}
} // namespace

QDateTime zeroDateTime() {
    return zoneFree(QDate(1899, 12, 30), QTime(0, 0));
}

QString TField::AsString() const {
    if (IsNull()) return {};
    switch (value_->kind) {
    case FieldValue::Kind::Text:
        return value_->text;
    case FieldValue::Kind::Integer:
        return value_->scale == 0 ? QString::number(value_->integer) : numberText(scaled(*value_));
    case FieldValue::Kind::Float:
        return numberText(value_->real);
    case FieldValue::Kind::Date:
        return QLocale().toString(value_->date, QLocale::ShortFormat);
    case FieldValue::Kind::DateTime:
    case FieldValue::Kind::Time:
        return regional::shortDateLongTime(value_->dateTime);
    case FieldValue::Kind::Null:
        break;
    }
    return {};
}

int32_t TField::AsInteger() const {
    if (IsNull()) return 0;
    switch (value_->kind) {
    case FieldValue::Kind::Integer:
        return static_cast<int32_t>(value_->scale == 0 ? value_->integer : std::llround(scaled(*value_)));
    case FieldValue::Kind::Float:
        return static_cast<int32_t>(std::llround(value_->real));
    case FieldValue::Kind::Text:
        return StrToInt(value_->text);
    default:
        throw EConvertError(QStringLiteral("Invalid variant type conversion"));
    }
}

double TField::AsFloat() const {
    if (IsNull()) return 0.0;
    switch (value_->kind) {
    case FieldValue::Kind::Integer:
        return scaled(*value_);
    case FieldValue::Kind::Float:
        return value_->real;
    case FieldValue::Kind::Text: {
        bool ok = false;
        double d = QLocale().toDouble(value_->text.trimmed(), &ok);
        if (!ok)
            throw EConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(value_->text));
        return d;
    }
    default:
        throw EConvertError(QStringLiteral("Invalid variant type conversion"));
    }
}

QDateTime TField::AsDateTime() const {
    if (IsNull()) return zeroDateTime();
    switch (value_->kind) {
    case FieldValue::Kind::Date:
    case FieldValue::Kind::DateTime:
    case FieldValue::Kind::Time:
        return value_->dateTime;
    default:
        throw EConvertError(QStringLiteral("Invalid variant type conversion"));
    }
}

TDataSet::TDataSet(Connection& connection, Transaction& transaction)
    : connection_(connection), transaction_(transaction) {}

void TDataSet::Open() {
    run(true);
}

void TDataSet::ExecSQL() {
    run(false);
}

void TDataSet::run(bool fetchRows) {
    columns_.clear();
    rows_.clear();
    current_ = 0;
    eof_ = true;
    if (!connection_.Connected()) connection_.Open();
    if (!transaction_.InTransaction()) transaction_.StartTransaction();

    const std::string text = statementBytes(SQL);
    if (text.size() > std::numeric_limits<unsigned short>::max())
        throw Failure(QStringLiteral("instrução longa demais: %1 bytes").arg(text.size()));
    StatementHandle statement(connection_);
    auto output = std::make_unique<OutputArea>(1);
    // The text travels with its length: a NUL inside a value is part of the value, not its end.
    connection_.run([&](ISC_STATUS* status) {
        return isc_dsql_prepare(status, transaction_.handle(), statement.get(),
                                static_cast<unsigned short>(text.size()), text.data(), 3, output->get());
    });
    const short columns = output->get()->sqld;
    if (columns > output->get()->sqln) {
        output = std::make_unique<OutputArea>(columns);
        connection_.run(
            [&](ISC_STATUS* status) { return isc_dsql_describe(status, statement.get(), 1, output->get()); });
    }
    connection_.run([&](ISC_STATUS* status) {
        return isc_dsql_execute(status, transaction_.handle(), statement.get(), 1, nullptr);
    });
    if (columns == 0 || !fetchRows) return;

    output->bindBuffers();
    const XSQLDA* area = output->get();
    for (short i = 0; i < columns; ++i)
        columns_.push_back(
            fromAnsi(area->sqlvar[i].aliasname, static_cast<size_t>(area->sqlvar[i].aliasname_length)));
    const auto fetch = [&](ISC_STATUS* status) {
        return isc_dsql_fetch(status, statement.get(), 1, output->get());
    };
    while (connection_.run(fetch) == 0) {
        std::vector<FieldValue> row;
        row.reserve(static_cast<size_t>(columns));
        for (short i = 0; i < columns; ++i)
            row.push_back(readValue(area->sqlvar[i], connection_, transaction_));
        rows_.push_back(std::move(row));
    }
    eof_ = rows_.empty();
}

void TDataSet::First() {
    current_ = 0;
    eof_ = rows_.empty();
}

void TDataSet::Next() {
    if (eof_) return;
    if (current_ + 1 < rows_.size())
        ++current_;
    else
        eof_ = true;
}

void TDataSet::Last() {
    current_ = rows_.empty() ? 0 : rows_.size() - 1;
    eof_ = rows_.empty();
}

TField TDataSet::FieldByName(const QString& name) const {
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (columns_[i].compare(name, Qt::CaseInsensitive) != 0) continue;
        return TField(rows_.empty() ? nullptr : &rows_[current_][i]);
    }
    // A result without rows still has its columns; a name it lacks is a fault of the caller.
    throw Failure(QStringLiteral("Field '%1' not found").arg(name));
}

QStringList TDataSet::RowAsText() const {
    QStringList fields;
    for (size_t i = 0; i < columns_.size(); ++i)
        fields << TField(rows_.empty() ? nullptr : &rows_[current_][i]).AsString();
    return fields;
}

} // namespace db
