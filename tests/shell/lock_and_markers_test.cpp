#include "Files.h"
#include "LogFile.h"
#include "platform/failure.h"
#include "shell/untFuncoes.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
