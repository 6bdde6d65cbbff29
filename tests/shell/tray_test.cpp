// The tray icon tells the state of the gate: how many turnstiles are connected and whether the
// database answers, through real client sockets and a real server stopped and started.
#include "LogFile.h"
#include "ProgramUnderTest.h"
#include "SimulatedController.h"
#include "shell/TrayHint.h"
#include "shell/artwork.h"

#include <QDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {
bool sameIcon(const QIcon& a, const QIcon& b) {
    return a.pixmap(32).toImage() == b.pixmap(32).toImage();
}
} // namespace

TEST(TrayHint, TextForEachState) {
    const QDateTime lost(QDate(2026, 12, 11), QTime(9, 5, 30));
    EXPECT_EQ(dicaBandeja(2, 2, QDateTime()),
              QStringLiteral("Vortalis - 2 de 2 catracas conectadas\nBanco de dados: conectado"));
    EXPECT_EQ(dicaBandeja(1, 2, lost),
              QStringLiteral("Vortalis - 1 de 2 catracas conectadas\nBanco de dados: sem conexão desde 09:05"));
}

TEST(Tray, FollowsTheTurnstilesAndTheDatabase) {
    FirebirdServer& server = FirebirdServer::shared();
    const QString database = server.shopDatabase(QStringLiteral("tray"));
    QDir().mkpath(PastaExecutavel() + QStringLiteral("ControleCatraca"));
    testlog::clear();
    TMD::EsperaReconexaoMs = 10;
    sim::SimulatedController entrada;
    auto saida = std::make_unique<sim::SimulatedController>();
    ASSERT_TRUE(entrada.listen() && saida->listen());
    ShopSession(database).exec(
        {catraca(1, QStringLiteral("Entrada"), QStringLiteral("127.0.0.1"), QString::number(entrada.port())),
         catraca(2, QStringLiteral("Saída"), QStringLiteral("127.0.0.1"), QString::number(saida->port()))});
    ProgramUnderTest program(database);
    TfrmPrincipal& w = program.window();
    w.tmrConectarCatracas->stop();
    const auto hint = [&] { return w.TrayIcon1->toolTip(); };
    const auto alert = [&] { return sameIcon(w.TrayIcon1->icon(), artwork::programIconAlert()); };
    ASSERT_TRUE(sameIcon(w.TrayIcon1->icon(), artwork::programIcon()));

    w.ConfigurarCatracas();
    ASSERT_TRUE(eventually([&] { return hint().startsWith(QStringLiteral("Vortalis - 2 de 2 ")); }));
    EXPECT_EQ(hint(), QStringLiteral("Vortalis - 2 de 2 catracas conectadas\nBanco de dados: conectado"));
    EXPECT_FALSE(alert());

    // One turnstile switched off at the next rebuild: its connection is refused.
    const quint16 port = saida->port();
    saida.reset();
    w.ReconectarCatracas();
    ASSERT_TRUE(eventually([&] { return hint().startsWith(QStringLiteral("Vortalis - 1 de 2 ")); }));
    EXPECT_TRUE(alert());

    // It comes back; then the database server stops and a rebuild meets it.
    saida = std::make_unique<sim::SimulatedController>();
    ASSERT_TRUE(saida->listen(port));
    w.ReconectarCatracas();
    ASSERT_TRUE(eventually([&] { return hint().startsWith(QStringLiteral("Vortalis - 2 de 2 ")); }));
    EXPECT_FALSE(alert());
    server.stop();
    const QString before = QTime::currentTime().toString(QStringLiteral("hh:mm"));
    w.ReconectarCatracas();
    const QString after = QTime::currentTime().toString(QStringLiteral("hh:mm"));
    EXPECT_TRUE(hint().endsWith(QStringLiteral("Banco de dados: sem conexão desde ") + before) ||
                hint().endsWith(QStringLiteral("Banco de dados: sem conexão desde ") + after))
        << hint().toStdString();
    EXPECT_TRUE(alert());

    // The server is back: the next rebuild's query reopens the connection.
    server.start();
    w.ReconectarCatracas();
    ASSERT_TRUE(eventually([&] { return hint().startsWith(QStringLiteral("Vortalis - 2 de 2 ")); }));
    EXPECT_EQ(hint(), QStringLiteral("Vortalis - 2 de 2 catracas conectadas\nBanco de dados: conectado"));
    EXPECT_FALSE(alert());
}
