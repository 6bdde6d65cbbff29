#include "Files.h"
#include "LogFile.h"
#include "platform/failure.h"
#include "base/untFuncoes.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <vector>

namespace {
class InstanceLock : public ::testing::Test {
protected:
    void SetUp() override {
        previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
    }
    void TearDown() override { QDir::setCurrent(previous); }
    QTemporaryDir dir;
    QString previous;
};

const QRegularExpression
    kLockLine(QStringLiteral("^VORTALIS 1 ATIVADO EM \\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d\r\n$"));
} // namespace

TEST_F(InstanceLock, HeldLockRefusesASecondHolderAndKeepsItsLine) {
    platform::ExclusiveFile first, second;
    ASSERT_TRUE(TravarJanela(1, QStringLiteral("VORTALIS"), first, QString()));
    const QByteArray line = testfiles::readAll(QStringLiteral("ATIVO_VORTALIS.001"));
    EXPECT_TRUE(kLockLine.match(QString::fromLatin1(line)).hasMatch()) << line.constData();

    EXPECT_FALSE(TravarJanela(1, QStringLiteral("VORTALIS"), second, QString()));
    EXPECT_FALSE(second.isOpen());
    // The refused holder cleared nothing and releases nothing that is not its own.
    DestravarJanela(1, QStringLiteral("VORTALIS"), second);
    EXPECT_EQ(testfiles::readAll(QStringLiteral("ATIVO_VORTALIS.001")), line);

    DestravarJanela(1, QStringLiteral("VORTALIS"), first);
    EXPECT_FALSE(QFile::exists(QStringLiteral("ATIVO_VORTALIS.001")));
}

TEST_F(InstanceLock, LeftoverFileIsTakenOverAndReplaced) {
    testfiles::write(QStringLiteral("ATIVO_VORTALIS.001"),
                     "VORTALIS 1 ATIVADO EM 01/01/2020 00:00:00 and more text\r\n");
    platform::ExclusiveFile lock;
    ASSERT_TRUE(TravarJanela(1, QStringLiteral("VORTALIS"), lock, QString()));
    EXPECT_TRUE(kLockLine.match(QString::fromLatin1(testfiles::readAll(QStringLiteral("ATIVO_VORTALIS.001"))))
                    .hasMatch());
    DestravarJanela(1, QStringLiteral("VORTALIS"), lock);
}

TEST_F(InstanceLock, NamesAndFolderPrefix) {
    QDir().mkpath(QStringLiteral("sub"));
    platform::ExclusiveFile wide, prefixed;
    ASSERT_TRUE(TravarJanela(1234, QStringLiteral("VORTALIS"), wide, QString()));
    EXPECT_TRUE(QFile::exists(QStringLiteral("ATIVO_VORTALIS.1234")));
    ASSERT_TRUE(TravarJanela(7, QStringLiteral("OUTRO"), prefixed, QStringLiteral("sub")));
    EXPECT_TRUE(QFile::exists(QStringLiteral("sub/ATIVO_OUTRO.007")));
    EXPECT_TRUE(testfiles::readAll(QStringLiteral("sub/ATIVO_OUTRO.007")).startsWith("OUTRO 7 ATIVADO EM "));
    DestravarJanela(1234, QStringLiteral("VORTALIS"), wide);
    EXPECT_FALSE(QFile::exists(QStringLiteral("ATIVO_VORTALIS.1234")));
}

namespace {
// Instances racing for the lock, each a process of its own (lock_contender).
class Contenders {
public:
    Contenders(int count, const QString& workDir) {
        for (int i = 0; i < count; ++i) {
            auto p = std::make_unique<QProcess>();
            p->setWorkingDirectory(workDir);
            p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            processes.push_back(std::move(p));
        }
        for (auto& p : processes)
            p->start(QCoreApplication::applicationDirPath() + QStringLiteral("/lock_contender"), {});
        for (auto& p : processes)
            p->waitForStarted();
    }
    ~Contenders() {
        for (auto& p : processes) {
            p->closeWriteChannel();
            if (!p->waitForFinished(10000)) p->kill();
            p->waitForFinished();
        }
    }

    bool held(QProcess& p) {
        p.waitForReadyRead(0);
        output[&p] += p.readAllStandardOutput();
        return output[&p].contains("held");
    }
    // The first contender that holds the lock, or none when the time is up.
    QProcess* firstHolder() {
        QDeadlineTimer deadline(30000);
        while (!deadline.hasExpired()) {
            for (auto& p : processes) {
                if (held(*p)) return p.get();
                p->waitForReadyRead(1);
            }
        }
        return nullptr;
    }
    // Ends every contender but the holder, and counts those that held the lock beside it.
    int othersThatHeld(QProcess* holder) {
        int count = 0;
        for (auto& p : processes)
            if (p.get() != holder) p->closeWriteChannel();
        for (auto& p : processes) {
            if (p.get() == holder) continue;
            p->waitForFinished(30000);
            if (held(*p) || p->exitCode() == 0) ++count;
        }
        return count;
    }

    std::vector<std::unique_ptr<QProcess>> processes;
    std::map<QProcess*, QByteArray> output;
};
} // namespace

TEST_F(InstanceLock, ExactlyOneOfManyInstancesStartedAtOnceHoldsTheLock) {
    constexpr int kRounds = 5;
    constexpr int kInstances = 6;
    struct Case {
        const char* name;
        bool whileOneCloses;
    };
    for (const Case& c : {Case{"none running", false}, Case{"one closing", true}}) {
        for (int round = 0; round < kRounds; ++round) {
            SCOPED_TRACE(testing::Message() << c.name << ", round " << round);
            std::unique_ptr<Contenders> closing;
            if (c.whileOneCloses) {
                closing = std::make_unique<Contenders>(1, dir.path());
                ASSERT_NE(closing->firstHolder(), nullptr);
            }
            Contenders racing(kInstances, dir.path());
            if (closing) closing->processes.front()->closeWriteChannel(); // releases while they try
            QProcess* holder = racing.firstHolder();
            ASSERT_NE(holder, nullptr);
            EXPECT_EQ(racing.othersThatHeld(holder), 0);
            // The holder's file is the lock file of the working directory.
            EXPECT_TRUE(QFile::exists(QStringLiteral("ATIVO_VORTALIS.001")));
            holder->closeWriteChannel();
            ASSERT_TRUE(holder->waitForFinished(30000));
            EXPECT_FALSE(QFile::exists(QStringLiteral("ATIVO_VORTALIS.001")));
        }
    }
}

TEST_F(InstanceLock, HandedOnThousandsOfTimesNeverHasTwoHolders) {
    std::vector<std::unique_ptr<QProcess>> relays;
    for (int i = 0; i < 4; ++i) {
        relays.push_back(std::make_unique<QProcess>());
        relays.back()->setWorkingDirectory(dir.path());
        relays.back()->setProcessChannelMode(QProcess::ForwardedChannels);
    }
    for (auto& p : relays)
        p->start(QCoreApplication::applicationDirPath() + QStringLiteral("/lock_contender"),
                 {QStringLiteral("relay"), QStringLiteral("500")});
    for (auto& p : relays) {
        ASSERT_TRUE(p->waitForFinished(120000));
        EXPECT_EQ(p->exitCode(), 0);
    }
    EXPECT_FALSE(QFile::exists(QStringLiteral("ATIVO_VORTALIS.001")));
}

namespace {
class Markers : public ::testing::Test {
protected:
    QString folder() const { return PastaExecutavel() + QStringLiteral("ControleCatraca"); }
    void SetUp() override {
        QFile::remove(folder());
        QDir(folder()).removeRecursively();
        QDir().mkpath(folder());
        testlog::clear();
    }
    void TearDown() override {
        QFile::remove(folder());
        QDir(folder()).removeRecursively();
    }
};
} // namespace

TEST_F(Markers, CreatedOnceWithItsLogLine) {
    CriarArquivoErro(QStringLiteral("10061.error"), QStringLiteral("10061"));
    const QString path = folder() + QStringLiteral("/10061.error");
    const QByteArray content = testfiles::readAll(path);
    // The short date, a blank and the long time, as the regional settings write them.
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d\r\n$"))
                    .match(QString::fromLatin1(content))
                    .hasMatch())
        << content.constData();
    EXPECT_EQ(testlog::texts(), QStringList{QStringLiteral("Arquivo de erro criado Código do erro: 10061")});

    CriarArquivoErro(QStringLiteral("10061.error"), QStringLiteral("10061"));
    EXPECT_EQ(testlog::texts().size(), 1);
    EXPECT_EQ(testfiles::readAll(path), content);
}

TEST_F(Markers, UnwritableMarkerIsAnIoErrorAfterItsLogLine) {
    QDir(folder()).removeRecursively();
    EXPECT_THROW(CriarArquivoErro(QStringLiteral("00001.error"), QStringLiteral("00001.error")), EInOutError);
    EXPECT_EQ(testlog::texts(),
              QStringList{QStringLiteral("Arquivo de erro criado Código do erro: 00001.error")});
}
