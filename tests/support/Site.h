#pragma once
// A prepared site for the whole program run as a process: a drive-C folder with the suite's two
// INI files, a work folder holding a copy of the executable (its own Log and ControleCatraca),
// used as the working directory, and the shop database behind the server's alias.
#include "Files.h"
#include "FirebirdServer.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <memory>

class Site {
public:
    explicit Site(const QString& servidor) {
        testfiles::write(driveC.path() + QStringLiteral("/NutravaWin/PDVNutrava/PDVNutrava.INI"),
                         "[Configuracoes]\r\nNumPDV=1\r\n");
        testfiles::write(driveC.path() + QStringLiteral("/NutravaWin/Nutrava.Ini"),
                         "[Configuracoes]\r\nServidor=" + servidor.toLatin1() + "\r\n");
        QFile::copy(QStringLiteral(VORTALIS_EXECUTABLE), executable());
    }

    QString executable() const { return work.path() + QStringLiteral("/vortalis"); }
    QString logPath() const { return work.path() + QStringLiteral("/Log/Vortalis.LOG"); }
    QString lockFile() const { return work.path() + QStringLiteral("/ATIVO_VORTALIS.001"); }
    QString markers() const { return work.path() + QStringLiteral("/ControleCatraca"); }

    // The program's activity-log texts without their date and time.
    QStringList logTexts() const {
        QStringList texts;
        for (QString line : testfiles::crlfLines(logPath()))
            texts << line.mid(24);
        return texts;
    }

    // On the offscreen platform, where no box is shown, or on an X display, with real boxes.
    std::unique_ptr<QProcess> start(const QString& display = QString()) const {
        auto p = std::make_unique<QProcess>();
        p->setWorkingDirectory(work.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VORTALIS_DRIVE_C"), driveC.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), display.isEmpty() ? QStringLiteral("offscreen") : QStringLiteral("xcb"));
        if (!display.isEmpty()) env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("pt_BR.UTF-8"));
        p->setProcessEnvironment(env);
        p->start(executable(), {});
        p->waitForStarted();
        return p;
    }

    static void signal(QProcess& p, int sig) { ::kill(static_cast<pid_t>(p.processId()), sig); }

    QTemporaryDir driveC, work;
};
