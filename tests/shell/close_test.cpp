// The close of the program wherever a termination request finds it: inside a start-up box (real
// boxes on a private X display), inside a card-dialog run, or twice at once.
#include "ChildRun.h"
#include "DialogRecorder.h"
#include "Files.h"
#include "LogFile.h"
#include "ProgramUnderTest.h"
#include "SimulatedController.h"
#include "Site.h"
#include "XDisplay.h"
#include "cards/untConfigComandas.h"
#include "platform/termination.h"
#include "shell/Application.h"
#include "shell/Startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QProgressBar>
#include <QTest>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <pthread.h>

namespace {
constexpr const char* kChild = "VORTALIS_CLOSE_CHILD";

const QStringList kClosedAtStartUp = {QStringLiteral("Sistema Iniciado."),
                                      QStringLiteral("<<< Finalizou a Catraca"),
                                      QStringLiteral("Sistema Encerrado.")};
} // namespace

// Each start-up box waits for an operator; a termination request closes it and ends the program
// in order, and a program that has logged its close never goes on to its window.
TEST(Close, TerminationRequestEndsStartUpFromEveryBox) {
    XDisplay display;
    ASSERT_FALSE(display.name().isEmpty()) << "no private X display";
    struct Case {
        const char* name;
        QString servidor;
        std::function<void(Site&)> spoil;
        QStringList log;
    };
    const Case cases[] = {
        {"the database cannot be opened", QStringLiteral("localhost/1"), {}, kClosedAtStartUp},
        {"the server's INI file is missing", FirebirdServer::shared().servidor(),
         [](Site& site) { QFile::remove(site.driveC.path() + QStringLiteral("/NutravaWin/Nutrava.Ini")); },
         kClosedAtStartUp},
        {"the terminal's INI file is missing", FirebirdServer::shared().servidor(),
         [](Site& site) {
             QFile::remove(site.driveC.path() + QStringLiteral("/NutravaWin/PDVNutrava/PDVNutrava.INI"));
         },
         kClosedAtStartUp},
        {"the activity log cannot be written",
         FirebirdServer::shared().servidor(),
         [](Site& site) { testfiles::write(QFileInfo(site.logPath()).absolutePath(), "not a folder"); },
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Site site(c.servidor);
        if (c.spoil) c.spoil(site);
        auto program = site.start(display.name());
        ASSERT_TRUE(eventually([&] { return display.shows(QStringLiteral("Vortalis")); }, 60000))
            << program->readAllStandardError().constData();
        // Two requests at once, as a shutdown that sends SIGTERM and then SIGINT: one close.
        Site::signal(*program, SIGTERM);
        Site::signal(*program, SIGINT);
        ASSERT_TRUE(program->waitForFinished(30000));
        EXPECT_EQ(program->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program->exitCode(), 0) << program->readAllStandardError().constData();
        EXPECT_EQ(c.log.isEmpty() ? QStringList() : site.logTexts(), c.log);
        EXPECT_FALSE(QFile::exists(site.lockFile()));
    }
}

// Two termination requests read at once (SIGTERM and SIGINT back to back) close the program once.
TEST(Close, TwoRequestsAtOnceCloseOnce) {
    sim::SimulatedController controller;
    ASSERT_TRUE(controller.listen());
    FirebirdServer& server = FirebirdServer::shared();
    server.createShopDatabase(server.aliasedFile());
    ShopSession(server.connectionName(server.aliasedFile()))
        .exec(catraca(1, QStringLiteral("Entrada"), QStringLiteral("127.0.0.1"),
                      QString::number(controller.port())));
    Site site(server.servidor());
    auto program = site.start();
    ASSERT_TRUE(controller.waitForConnections(1));
    Site::signal(*program, SIGTERM);
    Site::signal(*program, SIGINT);
    ASSERT_TRUE(program->waitForFinished(30000));
    EXPECT_EQ(program->exitCode(), 0);
    EXPECT_EQ(site.logTexts(),
              (QStringList{QStringLiteral("Sistema Iniciado."), QStringLiteral(">>> Iniciou a Catraca"),
                           QStringLiteral("<<< Finalizou a Catraca"), QStringLiteral("Sistema Encerrado.")}));
}

// A termination request while the card dialog inserts a range: the run stops after the card it
// is writing, says how far it got in the activity log (nobody is left to answer a box), the
// dialog closes and the program closes. Run in a process of its own, which holds termination
// requests as the program does.
TEST(Close, CardRunStopsOnTerminationAndTheProgramCloses) {
    runInChild(kChild, QStringLiteral("CloseChild.*"));
}

TEST(CloseChild, CardRunStopsOnTermination) {
    if (!inChild(kChild)) GTEST_SKIP() << "run by Close";
    // Only this thread takes the request, as the program's every thread would.
    platform::holdTerminationRequests();
    const QString database = FirebirdServer::shared().shopDatabase(QStringLiteral("close"));
    testlog::clear();
    // Attached now: once the program is closing, no connection is opened any more.
    ShopSession shop(database);
    DialogRecorder boxes;
    ProgramUnderTest program(database);
    fecharAoPedidoDeTermino(qApp);
    program.window().show();
    TfrmConfigComandas dialog;
    QObject::connect(dialog.prbCartao, &QProgressBar::valueChanged, &dialog, [](int written) {
        if (written == 3) ::pthread_kill(::pthread_self(), SIGTERM);
    });
    QTimer::singleShot(0, &dialog, [&] {
        dialog.EdtCarIni->setText(QStringLiteral("5000"));
        dialog.EdtCarFim->setText(QStringLiteral("5999"));
        QTest::mouseClick(dialog.SpeedButton2, Qt::LeftButton);
    });
    dialog.exec();

    EXPECT_TRUE(Application::encerrando());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(program.window().isVisible());
    EXPECT_TRUE(boxes.shown.empty());
    const QStringList log = testlog::texts();
    EXPECT_TRUE(log.contains(QStringLiteral("<<< Finalizou a Catraca"))) << log.join(u'\n').toStdString();
    EXPECT_TRUE(log.contains(
        QStringLiteral("Inserção cancelada: gravados 3 de 1000 cartões, do número 5000 ao 5002.")))
        << log.join(u'\n').toStdString();
    EXPECT_EQ(shop.scalar(QStringLiteral("SELECT COUNT(*) FROM CADCARTAO")), QStringLiteral("3"));
}
