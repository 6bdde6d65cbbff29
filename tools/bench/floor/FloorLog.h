#pragma once
// The activity-log lines of a read, written as any program that keeps such a log must write
// them: each line opened, locked, appended and closed by itself, in the program's line format
// ("dd/mm/yyyy hh:nn:ss:zzz text" with the regional separators, Windows-1252, CR LF), into a
// file of the floor's own.
#include <QChar>
#include <QString>
#include <string>

namespace bench {

class FloorLog {
public:
    explicit FloorLog(std::string path);
    // Raises FloorError when the line cannot be written.
    void line(const QString& text) const;

private:
    std::string path_;
    char dateSeparator_;
    char timeSeparator_;
};

} // namespace bench
