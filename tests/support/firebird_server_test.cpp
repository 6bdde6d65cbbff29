// The private server script, as many test binaries use it at the same moment.
#include "Files.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {
const QString kScript = QStringLiteral(VORTALIS_SOURCE_DIR "/tests/support/firebird-server");

struct Starter {
    QString root;
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
};

QString run(const QString& program, const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    p.start(program, args);
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return QString::fromLocal8Bit(p.readAllStandardError());
}

// Creates a database through the server on the port under the alias every private server has;
// the file lands in the data folder of the server that answered.
void createThroughAlias(int port) {
    const QByteArray sql = "CREATE DATABASE 'localhost/" + QByteArray::number(port) +
                           ":/NutravaWin/Dados/Nutrava.fdb' USER 'SYSDBA' PASSWORD 'kestrelio';\n";
    const QString errors = run(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-b")}, sql);
    EXPECT_TRUE(errors.isEmpty()) << errors.toStdString();
}
} // namespace

TEST(FirebirdServerScript, ServersStartedAtTheSameInstantEachListenOnTheirOwnPort) {
    constexpr int kRounds = 2;
    constexpr int kServers = 6;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        QTemporaryDir dir;
        // A machine whose packaged log folder does not exist yet.
        const QString serverLog = dir.path() + QStringLiteral("/var/log/firebird/firebird3.0.log");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("FIREBIRD_SERVER_LOG"), serverLog);
        std::vector<Starter> starters(kServers);
        for (int i = 0; i < kServers; ++i) {
            starters[i].root = dir.path() + QStringLiteral("/server%1").arg(i);
            starters[i].process->setProcessEnvironment(env);
        }
        for (Starter& s : starters)
            s.process->start(kScript, {QStringLiteral("start"), s.root});
        QSet<int> ports;
        for (Starter& s : starters) {
            ASSERT_TRUE(s.process->waitForFinished(120000));
            EXPECT_EQ(s.process->exitCode(), 0) << s.process->readAllStandardError().constData();
            ports.insert(QString::fromLatin1(s.process->readAllStandardOutput()).trimmed().toInt());
        }
        EXPECT_EQ(ports.size(), kServers);
        EXPECT_FALSE(ports.contains(0));
        EXPECT_TRUE(QFileInfo(serverLog).isFile());
        EXPECT_EQ(QFileInfo(serverLog).permissions() & (QFile::ReadOther | QFile::WriteOther), 0);

        for (Starter& s : starters) {
            const int port = testfiles::readAll(s.root + QStringLiteral("/port")).trimmed().toInt();
            createThroughAlias(port);
            EXPECT_TRUE(QFileInfo::exists(s.root + QStringLiteral("/data/Nutrava.fdb"))) << port;
        }
        for (Starter& s : starters)
            run(kScript, {QStringLiteral("stop"), s.root});
    }
}

TEST(FirebirdServerScript, PortTakenByAnotherProcessIsAFailureWithItsCause) {
    QTemporaryDir dir;
    const QString root = dir.path() + QStringLiteral("/server");
    QProcess start;
    start.start(kScript, {QStringLiteral("start"), root});
    ASSERT_TRUE(start.waitForFinished(120000));
    ASSERT_EQ(start.exitCode(), 0);
    const QString port = QString::fromLatin1(start.readAllStandardOutput()).trimmed();
    run(kScript, {QStringLiteral("stop"), root});

    // Another listener has the port the stopped server must keep.
    QTcpServer squatter;
    ASSERT_TRUE(squatter.listen(QHostAddress::LocalHost, port.toUShort()));

    QProcess restart;
    restart.start(kScript, {QStringLiteral("start"), root});
    ASSERT_TRUE(restart.waitForFinished(120000));
    EXPECT_NE(restart.exitCode(), 0);
    const QString errors = QString::fromLocal8Bit(restart.readAllStandardError());
    EXPECT_TRUE(errors.contains(QStringLiteral("port %1 is not ours").arg(port))) << errors.toStdString();
    squatter.close();
    run(kScript, {QStringLiteral("stop"), root});
}
