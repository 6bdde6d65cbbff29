#include "DialogRecorder.h"
#include "FirebirdServer.h"
#include "LogFile.h"
#include "LoopbackRelay.h"
#include "database/FirebirdError.h"
#include "database/untMD.h"
#include "platform/failure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>

namespace {
// A site: a drive-C folder with the suite's two INI files, a working directory, and the shop
// database behind the server's alias.
class StartupGate : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        FirebirdServer& server = FirebirdServer::shared();
        server.createShopDatabase(server.aliasedFile());
    }

    void SetUp() override {
        qputenv("VORTALIS_DRIVE_C", driveC.path().toLocal8Bit());
        previous = QDir::currentPath();
        QDir::setCurrent(workDir.path());
        QFile::remove(markers());
        QDir(markers()).removeRecursively();
        testlog::clear();
        writePdvIni("[Configuracoes]\r\nNumPDV=1\r\n");
        writeServerIni("[Configuracoes]\r\nServidor=" + FirebirdServer::shared().servidor().toLatin1() +
                       "\r\n");
    }
    void TearDown() override {
        QDir::setCurrent(previous);
        qunsetenv("VORTALIS_DRIVE_C");
        QFile::remove(markers());
        QDir(markers()).removeRecursively();
    }

    QString pdvIni() const { return driveC.path() + QStringLiteral("/NutravaWin/PDVNutrava/PDVNutrava.INI"); }
    QString serverIni() const { return driveC.path() + QStringLiteral("/NutravaWin/Nutrava.Ini"); }
    void writePdvIni(const QByteArray& text) { testfiles::write(pdvIni(), text); }
    void writeServerIni(const QByteArray& text) { testfiles::write(serverIni(), text); }
    static QString markers() { return PastaExecutavel() + QStringLiteral("ControleCatraca"); }
    QString lockFile() const { return workDir.path() + QStringLiteral("/ATIVO_VORTALIS.001"); }

    // Starts another instance in a working directory; waits until it holds the lock or ended.
    std::unique_ptr<QProcess> instance(const QString& dir) {
        auto p = std::make_unique<QProcess>();
        p->setWorkingDirectory(dir);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VORTALIS_DRIVE_C"), driveC.path());
        p->setProcessEnvironment(env);
        p->start(QCoreApplication::applicationDirPath() + QStringLiteral("/md_instance"));
        p->waitForStarted();
        while (!p->canReadLine() && p->state() == QProcess::Running)
            p->waitForReadyRead(100);
        return p;
    }

    QTemporaryDir driveC, workDir;
    QString previous;
};

struct Ended {
    std::vector<ShownDialog> dialogs;
    QStringList log;
};
} // namespace

TEST_F(StartupGate, CompleteStartHoldsTheLockAndConnects) {
    {
        TMD md;
        md.DataModuleCreate(&md);
        EXPECT_TRUE(md.ibdConexao.Connected());
        EXPECT_EQ(md.iPDV_CODIGO, 1);
        EXPECT_EQ(md.ibdConexao.DatabaseName,
                  FirebirdServer::shared().servidor() + QStringLiteral(":\\NutravaWin\\Dados\\Nutrava.fdb"));
        EXPECT_EQ(md.ibdConexao.Params,
                  (QStringList{QStringLiteral("user_name=SYSDBA"), QStringLiteral("password=kestrelio")}));
        EXPECT_FALSE(md.ibtPrincipal.InTransaction());
        // Readers see who holds the lock.
        EXPECT_TRUE(testfiles::readAll(lockFile()).startsWith("VORTALIS 1 ATIVADO EM "));
        EXPECT_TRUE(QDir(markers()).exists());
    }
    EXPECT_FALSE(QFile::exists(lockFile()));
    EXPECT_EQ(testlog::texts(),
              (QStringList{QStringLiteral("Sistema Iniciado."), QStringLiteral("Sistema Encerrado.")}));
}

TEST_F(StartupGate, EndsOfTheProcess) {
    struct Case {
        const char* name;
        QByteArray pdvIni; // empty: no file
        QString warning;
    };
    const QString notConfigured = QStringLiteral("O número de PDV deste terminal não está configurado. Por "
                                                 "favor, entre \\n no sistema GESTAL para configurá-lo.");
    const Case cases[] = {
        {"missing PDVNutrava.INI",
         {},
         QStringLiteral("Arquivo C:\\NutravaWin\\PDVNutrava\\PDVNutrava.INI não encontrado. Verifique")},
        {"NumPDV missing", "[Configuracoes]\r\nOutro=1\r\n", notConfigured},
        {"NumPDV 0", "[Configuracoes]\r\nNumPDV=0\r\n", notConfigured},
        {"NumPDV -3", "[Configuracoes]\r\nNumPDV=-3\r\n", notConfigured},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testlog::clear();
        QFile::remove(pdvIni());
        if (!c.pdvIni.isEmpty()) writePdvIni(c.pdvIni);
        DialogRecorder dialogs;
        {
            TMD md;
            EXPECT_THROW(md.DataModuleCreate(&md), ProcessEnd);
            EXPECT_FALSE(md.ibdConexao.Connected());
        }
        EXPECT_EQ(dialogs.shown, (std::vector<ShownDialog>{{dialogs::Kind::Warning, c.warning}}));
        EXPECT_FALSE(QFile::exists(lockFile()));
        EXPECT_EQ(testlog::texts(),
                  (QStringList{QStringLiteral("Sistema Iniciado."), QStringLiteral("Sistema Encerrado.")}));
    }
}

TEST_F(StartupGate, NumPdvThatIsNotANumberEndsTheCreationSteps) {
    writePdvIni("[Configuracoes]\r\nNumPDV=abc\r\n");
    TMD md;
    try {
        md.DataModuleCreate(&md);
        FAIL() << "the conversion should fail";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("'abc' is not a valid integer value"));
    }
    EXPECT_EQ(md.iPDV_CODIGO, 0);
    EXPECT_FALSE(QFile::exists(lockFile()));
    EXPECT_FALSE(md.ibdConexao.Connected());
}

TEST_F(StartupGate, FileInThePlaceOfTheMarkerFolder) {
    testfiles::write(markers(), "not a folder");
    TMD md;
    try {
        md.DataModuleCreate(&md);
        FAIL() << "the folder cannot be made";
    } catch (const Failure& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Não foi possível criar o seguinte diretório: \r") + markers());
    }
    EXPECT_FALSE(QFile::exists(lockFile()));
}

TEST_F(StartupGate, OldMarkersAreClearedButHiddenOnesAndFoldersStay) {
    QDir().mkpath(markers() + QStringLiteral("/folder.error"));
    for (const char* name : {"00001.error", "335544721.error", "x.error.old", ".hidden.error", "keep.txt"})
        testfiles::write(markers() + u'/' + QString::fromLatin1(name), "old");
    TMD md;
    md.DataModuleCreate(&md);
    QStringList left =
        QDir(markers()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    EXPECT_EQ(left, (QStringList{QStringLiteral(".hidden.error"), QStringLiteral("folder.error"),
                                 QStringLiteral("keep.txt")}));
    // A folder named with or without its last separator is the same folder.
    EXPECT_TRUE(md.VerificarCriarDir(markers() + u'/'));
    EXPECT_TRUE(md.VerificarCriarDir(markers()));
}

TEST_F(StartupGate, MissingServerIniLeavesAnUnopenableName) {
    QFile::remove(serverIni());
    DialogRecorder dialogs;
    TMD md;
    EXPECT_THROW(md.DataModuleCreate(&md), db::FirebirdError);
    EXPECT_EQ(dialogs.shown,
              (std::vector<ShownDialog>{
                  {dialogs::Kind::Warning, QStringLiteral("Arquivo Inexistente: \n") + serverIni()}}));
    EXPECT_EQ(md.ibdConexao.DatabaseName, QStringLiteral(":\\NutravaWin\\Dados\\Nutrava.fdb"));
    // The lock is held all the same.
    EXPECT_TRUE(QFile::exists(lockFile()));
}

TEST_F(StartupGate, SecondInstanceIsRefusedAndLeavesTheFirstLockAlone) {
    TMD md;
    md.DataModuleCreate(&md);
    const QByteArray holderLine = testfiles::readAll(lockFile());
    testlog::clear();

    auto second = instance(workDir.path());
    ASSERT_TRUE(second->waitForFinished(30000));
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(second->readAllStandardOutput(), QByteArray("ended\n"));
    EXPECT_EQ(testfiles::readAll(lockFile()), holderLine);
    EXPECT_EQ(testlog::texts(),
              (QStringList{QStringLiteral("Sistema Iniciado."), QStringLiteral("Sistema Encerrado.")}));

    // From another working directory the lock is another one.
    QTemporaryDir elsewhere;
    auto other = instance(elsewhere.path());
    EXPECT_EQ(other->readLine(), QByteArray("ready\n"));
    EXPECT_TRUE(QFile::exists(elsewhere.path() + QStringLiteral("/ATIVO_VORTALIS.001")));
    other->closeWriteChannel();
    ASSERT_TRUE(other->waitForFinished(30000));
    EXPECT_FALSE(QFile::exists(elsewhere.path() + QStringLiteral("/ATIVO_VORTALIS.001")));
}

TEST_F(StartupGate, KilledHoldersLockIsTakenOver) {
    auto holder = instance(workDir.path());
    ASSERT_EQ(holder->readLine(), QByteArray("ready\n"));
    ::kill(static_cast<pid_t>(holder->processId()), SIGKILL);
    holder->waitForFinished(30000);
    ASSERT_TRUE(QFile::exists(lockFile()));

    TMD md;
    md.DataModuleCreate(&md);
    EXPECT_TRUE(md.ibdConexao.Connected());
    EXPECT_TRUE(testfiles::readAll(lockFile()).startsWith("VORTALIS 1 ATIVADO EM "));
}

TEST(DatabaseName, DerivedFromServerFlagVersionAndServidor) {
    struct Case {
        bool server;
        const char* version;
        const char* servidor;
        const char* name;
    };
    const Case cases[] = {
        {false, "XP", "SRV01", "SRV01:\\NutravaWin\\Dados\\Nutrava.fdb"},
        {false, "98", "SRV01", "SRV01:\\NutravaWin\\Dados\\Nutrava.fdb"},
        {true, "98", "SRV01", "C:\\NutravaWin\\Dados\\Nutrava.fdb"},
        {true, "95", "", "C:\\NutravaWin\\Dados\\Nutrava.fdb"},
        {true, "XP", "SRV01", "SRV01:\\NutravaWin\\Dados\\Nutrava.fdb"},
        {true, "Desconhecido", "localhost/3050", "localhost/3050:\\NutravaWin\\Dados\\Nutrava.fdb"},
        {true, "ME", "", ":\\NutravaWin\\Dados\\Nutrava.fdb"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NomeBancoDados(c.server, QString::fromLatin1(c.version), QString::fromLatin1(c.servidor)),
                  QString::fromLatin1(c.name))
            << c.server << " " << c.version << " " << c.servidor;
}

// The start-up attach to a server that accepts and never answers ends after the default connect
// timeout with the client's error, instead of holding the window and every turnstile for minutes.
TEST_F(StartupGate, SilentServerEndsTheOpenAfterTheConnectTimeout) {
    LoopbackRelay mute(0);
    writeServerIni("[Configuracoes]\r\nServidor=127.0.0.1/" + QByteArray::number(mute.port()) + "\r\n");
    TMD md;
    long code = 0;
    EXPECT_TRUE(endsWithin(60, mute, [&] {
        try {
            md.DataModuleCreate(&md);
        } catch (const db::FirebirdError& e) {
            code = e.code();
        }
    }));
    EXPECT_EQ(code, 335544421);
    EXPECT_FALSE(md.ibdConexao.Connected());
}
