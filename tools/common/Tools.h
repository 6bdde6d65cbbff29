#pragma once
// Commands that the soak and the benchmark run to their end (isql-fb, the server script, the
// floor's range insert) while the simulated turnstiles keep being served.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace tools {

struct ToolRun {
    bool ok = false; // it ended by itself with status 0
    QByteArray output;
    QString errors; // what it wrote on its error output
};

// Whatever this process starts ends with it, however it ends.
void endWithUs(QProcess& process);

ToolRun runTool(const QString& program, const QStringList& args, const QByteArray& input = {});

// Runs the statements on the database as SYSDBA and commits them.
ToolRun isql(const QString& database, const QString& statements);

} // namespace tools
