#include "Tools.h"

#include <QCoreApplication>
#include <signal.h>
#include <sys/prctl.h>

namespace tools {

void endWithUs(QProcess& process) {
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

ToolRun runTool(const QString& program, const QStringList& args, const QByteArray& input) {
    QProcess p;
    endWithUs(p);
    p.start(program, args);
    if (!p.waitForStarted()) return {false, {}, p.errorString()};
    p.write(input);
    p.closeWriteChannel();
    while (!p.waitForFinished(20) && p.state() != QProcess::NotRunning)
        QCoreApplication::processEvents();
    return {p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, p.readAllStandardOutput(),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

ToolRun isql(const QString& database, const QString& statements) {
    return runTool(QStringLiteral("isql-fb"),
                   {QStringLiteral("-q"), QStringLiteral("-b"), QStringLiteral("-user"),
                    QStringLiteral("SYSDBA"), QStringLiteral("-password"), QStringLiteral("kestrelio"),
                    database},
                   (statements + QStringLiteral("\nCOMMIT;\n")).toLatin1());
}

} // namespace tools
