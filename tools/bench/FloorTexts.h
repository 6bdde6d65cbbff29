#pragma once
// The floor program must issue the program's own statement texts, blanks included: this asks
// it for the texts of one read and one range-insert card and compares them with the program's.
#include <QString>

namespace bench {

// Empty when the floor program at floorPath writes the program's texts; otherwise the first
// difference.
QString floorTextsDiffer(const QString& floorPath);

} // namespace bench
