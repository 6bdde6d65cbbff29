#include "Files.h"
#include "platform/failure.h"
#include "platform/textfile.h"
#include "base/untFuncoes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <csignal>
#include <sys/resource.h>
#include <thread>

namespace {
QString logFolder() {
    return PastaExecutavel() + QStringLiteral("Log");
}
QString logPath() {
    return logFolder() + QStringLiteral("/Vortalis.LOG");
}
const QRegularExpression kStamp(QStringLiteral("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d:\\d{3} "));

class ActivityLog : public ::testing::Test {
protected:
    void SetUp() override {
        QFile::remove(logFolder());
        QDir(logFolder()).removeRecursively();
        QDir().mkpath(logFolder());
    }
    void TearDown() override { QDir(logFolder()).removeRecursively(); }
};
} // namespace

TEST_F(ActivityLog, WritesOneWindows1252LinePerCall) {
    GravarLogTXT(QStringLiteral("Não foi possível"));
    GravarLogTXT(QString());
    const QByteArray bytes = testfiles::readAll(logPath());
    const QList<QByteArray> lines = bytes.split('\n');
    ASSERT_EQ(lines.size(), 3); // two lines and the empty rest after the last line end
    EXPECT_TRUE(lines[0].endsWith(" N\xE3o foi poss\xEDvel\r"));
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(kStamp.match(QString::fromLatin1(lines[i])).hasMatch()) << lines[i].constData();
    // An empty text leaves the date, the time and a trailing blank.
    EXPECT_EQ(lines[1].size(), qsizetype(std::string("08/12/2021 14:03:07:123 \r").size()));
    EXPECT_TRUE(lines[1].endsWith(" \r"));
    // The date is today's, day first.
    EXPECT_TRUE(lines[0].startsWith(QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")).toLatin1()) ||
                lines[0].startsWith(
                    QDate::currentDate().addDays(-1).toString(QStringLiteral("dd/MM/yyyy")).toLatin1()));
}

TEST_F(ActivityLog, DayFirstStampUnderEveryRegionalSetting) {
    const QLocale previous;
    for (const QLocale& locale :
         {QLocale(QLocale::Portuguese, QLocale::Brazil), QLocale(QLocale::English, QLocale::UnitedStates)}) {
        SCOPED_TRACE(locale.name().toStdString());
        QLocale::setDefault(locale);
        QFile::remove(logPath());
        const QDateTime before = QDateTime::currentDateTime();
        GravarLogTXT(QStringLiteral("linha"));
        const QDateTime after = QDateTime::currentDateTime();
        const QStringList lines = testfiles::crlfLines(logPath());
        ASSERT_EQ(lines.size(), 1);
        EXPECT_TRUE(kStamp.match(lines[0]).hasMatch()) << lines[0].toStdString();
        // The fixed pattern: day, month, year, then 24-hour time with milliseconds.
        const QDateTime stamp =
            QDateTime::fromString(lines[0].left(23), QStringLiteral("dd/MM/yyyy HH:mm:ss:zzz"));
        ASSERT_TRUE(stamp.isValid()) << lines[0].toStdString();
        EXPECT_TRUE(stamp >= before && stamp <= after) << lines[0].toStdString();
        EXPECT_TRUE(lines[0].endsWith(QStringLiteral(" linha")));
    }
    QLocale::setDefault(previous);
}

TEST_F(ActivityLog, AppendsToWhatIsThere) {
    testfiles::write(logPath(), "earlier line\r\n");
    GravarLogTXT(QStringLiteral("next"));
    const QStringList lines = testfiles::crlfLines(logPath());
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("earlier line"));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(" next")));
}

TEST_F(ActivityLog, WaitsWhileAnotherWriterHoldsTheFile) {
    platform::ExclusiveFile holder;
    ASSERT_EQ(holder.open(logPath().toStdString(), platform::ExclusiveFile::Mode::Append),
              platform::ExclusiveFile::OpenResult::Ok);
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        holder.write("holder line\r\n");
        holder.close();
    });
    GravarLogTXT(QStringLiteral("after the holder"));
    release.join();
    const QStringList lines = testfiles::crlfLines(logPath());
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("holder line"));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(" after the holder")));
}

TEST_F(ActivityLog, MissingFolderIsCreated) {
    QDir(logFolder()).removeRecursively();
    GravarLogTXT(QStringLiteral("first line"));
    EXPECT_EQ(testfiles::crlfLines(logPath()).size(), 1);
}

TEST_F(ActivityLog, UnopenableLogDropsTheLineWithoutHanging) {
    QDir(logFolder()).removeRecursively();
    testfiles::write(logFolder(), "a file where the folder should be");
    EXPECT_NO_THROW(GravarLogTXT(QStringLiteral("dropped")));
    EXPECT_NO_THROW(GravarLogTXT(QStringLiteral("dropped too")));
    EXPECT_EQ(testfiles::readAll(logFolder()), QByteArray("a file where the folder should be"));
}

TEST_F(ActivityLog, TwoProcessesLoseNoLineAndNeverInterleave) {
    const QString writer = QCoreApplication::applicationDirPath() + QStringLiteral("/log_writer");
    constexpr int kLines = 400;
    QProcess a, b;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("pt_BR.UTF-8"));
    a.setProcessEnvironment(env);
    b.setProcessEnvironment(env);
    a.start(writer, {QStringLiteral("A"), QString::number(kLines)});
    b.start(writer, {QStringLiteral("B"), QString::number(kLines)});
    ASSERT_TRUE(a.waitForFinished(60000) && b.waitForFinished(60000));
    ASSERT_EQ(a.exitCode(), 0);
    ASSERT_EQ(b.exitCode(), 0);

    const QStringList lines = testfiles::crlfLines(logPath());
    ASSERT_EQ(lines.size(), 2 * kLines);
    int next[2] = {0, 0};
    const QRegularExpression shape(QStringLiteral(
        "^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d:\\d{3} ([AB]) linha (\\d+) \u00E7\u00E3o$"));
    for (const QString& line : lines) {
        auto m = shape.match(line);
        ASSERT_TRUE(m.hasMatch()) << line.toStdString();
        int writerIndex = m.captured(1) == QStringLiteral("A") ? 0 : 1;
        EXPECT_EQ(m.captured(2).toInt(), next[writerIndex]++);
    }
    EXPECT_EQ(next[0], kLines);
    EXPECT_EQ(next[1], kLines);
}

// The disk fills in the middle of a line (here a file-size limit cuts the write short): the
// failure is raised, and the next line still starts on a line of its own.
TEST_F(ActivityLog, LineCutShortDoesNotGlueTheNextOne) {
    GravarLogTXT(QStringLiteral("antes"));
    const auto size = static_cast<rlim_t>(QFileInfo(logPath()).size());
    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = before;
    limited.rlim_cur = size + 30;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    EXPECT_THROW(GravarLogTXT(QString(100, u'x')), EInOutError);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &before), 0);
    std::signal(SIGXFSZ, previousHandler);

    GravarLogTXT(QStringLiteral("depois"));
    const QList<QByteArray> lines = testfiles::readAll(logPath()).split('\n');
    ASSERT_EQ(lines.size(), 4) << testfiles::readAll(logPath()).constData();
    // The 30 bytes of the cut line, ended by the CR LF written before the next.
    EXPECT_EQ(lines[1].size(), 31);
    EXPECT_TRUE(lines[1].endsWith("xxx\r")) << lines[1].constData();
    EXPECT_TRUE(lines[2].endsWith(" depois\r"));
    EXPECT_TRUE(kStamp.match(QString::fromLatin1(lines[2])).hasMatch()) << lines[2].constData();
}
