#pragma once
// A statement bound to the connection and one transaction. Opened as a query it fetches every
// row at once and is positioned on the first; its fields are found by column name without
// regard to case and read as text, integer, floating point or date-time.
#include "database/Connection.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace db {

struct FieldValue {
    enum class Kind { Null, Text, Integer, Float, Date, DateTime, Time };
    Kind kind = Kind::Null;
    QString text;
    int64_t integer = 0; // scaled by 10^-scale
    int scale = 0;
    double real = 0.0;
    QDate date;         // a DATE column: the day itself
    QDateTime dateTime; // without a time zone (see zeroDateTime)
};

// 30 December 1899, the zero of the date-time type. Date-times read from the database are kept
// in UTC: they name a wall-clock moment of no time zone, and every day has its midnight.
QDateTime zeroDateTime();

// One field of the current row. NULL, and any field of a result without rows, reads as empty
// text, 0, 0.0 or the zero date-time.
class TField {
public:
    explicit TField(const FieldValue* value) : value_(value) {}
    QString AsString() const;
    int32_t AsInteger() const;
    double AsFloat() const;
    QDateTime AsDateTime() const;
    bool IsNull() const { return value_ == nullptr || value_->kind == FieldValue::Kind::Null; }

private:
    const FieldValue* value_;
};

class TDataSet {
public:
    TDataSet(Connection& connection, Transaction& transaction);
    TDataSet(const TDataSet&) = delete;
    TDataSet& operator=(const TDataSet&) = delete;

    QString SQL;

    // Runs the query and fetches every row, opening the connection and starting the
    // transaction first when needed. Raises FirebirdError.
    void Open();
    // Runs a statement that returns no rows, with the same implicit opening and start.
    void ExecSQL();

    int RecordCount() const { return static_cast<int>(rows_.size()); }
    bool Eof() const { return eof_; }
    void First();
    void Next();
    void Last();
    // Raises Failure for a column the result does not have.
    TField FieldByName(const QString& name) const;
    // Every field of the current row as text.
    QStringList RowAsText() const;

private:
    void run(bool fetchRows);

    Connection& connection_;
    Transaction& transaction_;
    std::vector<QString> columns_;
    std::vector<std::vector<FieldValue>> rows_;
    size_t current_ = 0;
    bool eof_ = true;
};

} // namespace db
