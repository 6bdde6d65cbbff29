#pragma once
// The floor's database work on libfbclient alone, as the program does it: one attachment kept
// open, the program's two transactions (read committed, record versions, no waiting), and each
// statement with a handle allocated, prepared, executed, fetched to the end and dropped. The
// time of every call is counted, for the database-only figure of a read.
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <ibase.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace bench {

struct FloorError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A column's value: a whole number with its decimal scale, or a date; NULL reads as zero.
struct FloorValue {
    int64_t raw = 0;
    short scale = 0;
    bool isDate = false;

    double number() const;
    // The zero date is 30 December 1899, as the program reads a NULL date.
    QDateTime dateTime() const;
};

// The first and the last row of a result, as the program's data sets keep every row.
struct FloorRows {
    int count = 0;
    std::vector<FloorValue> first;
    std::vector<FloorValue> last;
};

class FloorDatabase {
public:
    // Attaches as SYSDBA with SQL dialect 3 and no character set.
    explicit FloorDatabase(const std::string& name);
    ~FloorDatabase();
    FloorDatabase(const FloorDatabase&) = delete;
    FloorDatabase& operator=(const FloorDatabase&) = delete;

    // A query on the reads' transaction, which it starts when none is open.
    FloorRows query(const QString& text);
    // The reads' transaction begun anew: whatever it held is rolled back.
    void restartReads();
    void commitReads();
    // A statement without rows on the writes' transaction, started before and committed after.
    void write(const QString& text);

    // The microseconds spent in the client library since the last call.
    int64_t takeSpentUs();

private:
    void start(isc_tr_handle* transaction);
    void run(isc_tr_handle* transaction, const QString& text, FloorRows* rows);

    isc_db_handle attachment_ = 0;
    isc_tr_handle reads_ = 0;
    isc_tr_handle writes_ = 0;
    int64_t spentUs_ = 0;
};

} // namespace bench
