#include "FirebirdServer.h"

#include "database/untMD.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace {
const QString kScript = QStringLiteral(VORTALIS_SOURCE_DIR "/tests/support/firebird-server");
const QString kSchema = QStringLiteral(VORTALIS_SOURCE_DIR "/tests/fixtures/shop-schema.sql");

// Runs a set-up command; a failure names the command, how it ended and everything it wrote, so
// that a suite whose set-up fails shows the cause.
QString run(const QString& program, const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    p.start(program, args);
    p.write(input);
    p.closeWriteChannel();
    const bool finished = p.waitForFinished(120000);
    if (finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
        return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    const QString how = !finished ? QStringLiteral("did not finish: ") + p.errorString()
                        : p.exitStatus() != QProcess::NormalExit
                            ? QStringLiteral("crashed")
                            : QStringLiteral("exit code %1").arg(p.exitCode());
    const QString message = program + u' ' + args.join(u' ') + QStringLiteral(" failed (") + how +
                            QStringLiteral("):\n") +
                            QString::fromLocal8Bit(p.readAllStandardError() + p.readAllStandardOutput());
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    throw std::runtime_error(message.toStdString());
}
} // namespace

FirebirdServer& FirebirdServer::shared() {
    static FirebirdServer server;
    if (!server.running_) server.start();
    return server;
}

FirebirdServer::FirebirdServer()
    : root_(QDir::tempPath() + QStringLiteral("/vortalis-fb-") + QUuid::createUuid().toString(QUuid::Id128)) {
}

FirebirdServer::~FirebirdServer() {
    // Runs at exit, when Qt may be gone: plain system calls only.
    if (running_)
        std::system((kScript + QStringLiteral(" stop ") + root_ + QStringLiteral(" >/dev/null 2>&1"))
                        .toLocal8Bit()
                        .constData());
    QDir(root_).removeRecursively();
}

void FirebirdServer::start() {
    // The server follows this test binary out, even when the binary dies without stopping it.
    port_ =
        run(kScript, {QStringLiteral("start"), root_, QString::number(QCoreApplication::applicationPid())})
            .toInt();
    running_ = true;
}

void FirebirdServer::stop() {
    run(kScript, {QStringLiteral("stop"), root_});
    running_ = false;
}

void FirebirdServer::pause() {
    run(kScript, {QStringLiteral("pause"), root_});
}

void FirebirdServer::resume() {
    run(kScript, {QStringLiteral("resume"), root_});
}

void FirebirdServer::createShopDatabase(const QString& file) {
    QFile::remove(file);
    QFile schema(kSchema);
    schema.open(QIODevice::ReadOnly);
    QByteArray script = "CREATE DATABASE '" + connectionName(file).toLocal8Bit() +
                        "' USER 'SYSDBA' PASSWORD 'kestrelio' PAGE_SIZE 4096;\n" + schema.readAll();
    run(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-b")}, script);
    // Test databases need not survive a power cut: commits without forced writes keep the suite quick.
    run(QStringLiteral("gfix"), {QStringLiteral("-user"), QStringLiteral("SYSDBA"),
                                 QStringLiteral("-password"), QStringLiteral("kestrelio"),
                                 QStringLiteral("-write"), QStringLiteral("async"), connectionName(file)});
}

QString FirebirdServer::shopDatabase(const QString& name) {
    createShopDatabase(fileFor(name));
    return connectionName(fileFor(name));
}

void connectDataModule(TMD& md, const QString& connectionName) {
    md.ibdConexao.DatabaseName = connectionName;
    md.ibdConexao.Params = {QStringLiteral("user_name=SYSDBA"), QStringLiteral("password=kestrelio")};
    md.ibdConexao.Open();
}

struct ShopSession::Parts {
    db::Connection connection;
    db::Transaction transaction{connection};
};

ShopSession::ShopSession(const QString& connectionName) : parts_(new Parts) {
    parts_->connection.DatabaseName = connectionName;
    parts_->connection.Params = {QStringLiteral("user_name=SYSDBA"), QStringLiteral("password=kestrelio")};
    parts_->connection.Open();
}

ShopSession::~ShopSession() {
    delete parts_;
}

void ShopSession::exec(const QString& sql) {
    db::TDataSet statement(parts_->connection, parts_->transaction);
    statement.SQL = sql;
    statement.ExecSQL();
    parts_->transaction.Commit();
}

void ShopSession::exec(const QStringList& statements) {
    for (const QString& s : statements)
        exec(s);
}

std::vector<QStringList> ShopSession::rows(const QString& sql) {
    db::TDataSet query(parts_->connection, parts_->transaction);
    query.SQL = sql;
    query.Open();
    std::vector<QStringList> result;
    // Every column of the result, found through the statement's own column list.
    for (query.First(); !query.Eof(); query.Next())
        result.push_back(query.RowAsText());
    parts_->transaction.Commit();
    return result;
}

QString ShopSession::scalar(const QString& sql) {
    auto all = rows(sql);
    return all.empty() || all.front().isEmpty() ? QString() : all.front().front();
}

void ShopSession::clear() {
    for (const char* table :
         {"VENDAITEM", "VENDACARTAO", "VENDA", "CADCARTAO", "CADCATRACA", "CAIXASITUACAO", "CONFIGGERAL"})
        exec(QStringLiteral("DELETE FROM %1").arg(QString::fromLatin1(table)));
}
