// Writes a numbered series of activity-log lines, as a second instance of the program would.
// Arguments: a tag and a line count.
#include "base/untFuncoes.h"

#include <QString>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const QString tag = QString::fromLocal8Bit(argv[1]);
    const int count = std::atoi(argv[2]);
    for (int i = 0; i < count; ++i)
        GravarLogTXT(QStringLiteral("%1 linha %2 ção").arg(tag).arg(i));
    return 0;
}
