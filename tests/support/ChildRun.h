#pragma once
// Runs tests of this test binary in a process of its own (for a network namespace of its own, or
// for a process that must hold termination requests from its start), marked by an environment
// variable that the child tests look for, and reports how it went.
#include <QCoreApplication>
#include <QProcess>
#include <gtest/gtest.h>

// The child's tests skip unless this variable is set.
inline bool inChild(const char* variable) {
    return !qEnvironmentVariableIsEmpty(variable);
}

// Runs the tests the filter names in a child, after the given prefix command ("unshare --net");
// every one of them must pass.
inline void runInChild(const char* variable, const QString& filter, const QStringList& prefix = {}) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(variable), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    QStringList command = prefix;
    command << QCoreApplication::applicationFilePath() << QStringLiteral("--gtest_filter=") + filter;
    child.start(command.takeFirst(), command);
    ASSERT_TRUE(child.waitForFinished(120000));
    const QString output = QString::fromLocal8Bit(child.readAll());
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << output.toStdString();
}
