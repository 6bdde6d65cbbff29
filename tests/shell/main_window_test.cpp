#include "database/untMD.h"
#include "shell/untPrincipal.h"

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>

namespace {
// Showing the window loads the turnstiles through the data module; here it reaches no database,
// so the load finds none.
class DataModuleWithoutDatabase : public ::testing::Environment {
public:
    void SetUp() override { MD = new TMD(); }
    void TearDown() override {
        delete MD;
        MD = nullptr;
    }
};
const auto* const kDataModule = ::testing::AddGlobalTestEnvironment(new DataModuleWithoutDatabase);

void fill(TextPane* pane, int lines) {
    for (int i = 0; i < lines; ++i)
        pane->append(QStringLiteral("linha %1").arg(i));
}
} // namespace

TEST(MainWindow, LayoutAtDesignSize) {
    TfrmPrincipal w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("[Nutrava]  - Vortalis"));
    EXPECT_EQ(w.size(), QSize(435, 558));
    struct Area {
        QWidget* widget;
        int height;
    };
    for (const Area& a : {Area{w.Panel1, 55}, Area{w.Bevel1, 9}, Area{w.Panel2, 124}, Area{w.Panel3, 128},
                          Area{w.Panel4, 54}, Area{w.Bevel3, 8}, Area{w.btnReconectarCatraca, 41},
                          Area{w.btnConfigComandas, 41}, Area{w.Bevel2, 9}, Area{w.SpeedButton1, 41},
                          Area{w.Label3, 16}, Area{w.Label4, 16}, Area{w.Label10, 16}}) {
        EXPECT_EQ(a.widget->height(), a.height) << a.widget->metaObject()->className();
        EXPECT_EQ(a.widget->width(), 435);
    }
    EXPECT_EQ(w.mmRecebidosAscii->geometry(), QRect(0, 25, 435, 99));
    EXPECT_EQ(w.mmEnviadosString->geometry(), QRect(0, 29, 435, 99));
    EXPECT_EQ(w.btnLimpar->geometry(), QRect(84, 2, 57, 19));
    EXPECT_EQ(w.btnLimparEnviados->geometry(), QRect(84, 5, 57, 18));
    EXPECT_EQ(w.lblRecebidosAscii->text(), QStringLiteral("String recebida:"));
    EXPECT_EQ(w.lblStringEnviada->text(), QStringLiteral("String Enviada: "));
    EXPECT_EQ(w.btnReconectarCatraca->text(), QStringLiteral("&Reconectar Catracas"));
    EXPECT_EQ(w.btnConfigComandas->text(), QStringLiteral("&Configurar Comandas"));
    EXPECT_EQ(w.SpeedButton1->text(), QStringLiteral("&Sair"));
    EXPECT_EQ(w.MenuItem1->text(), QStringLiteral("Abrir Vortalis"));
    EXPECT_EQ(w.Exit1->text(), QStringLiteral("Sair"));
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w.tmrConectarCatracas->isActive());
    EXPECT_EQ(w.tmrConectarCatracas->interval(), 30000);
    EXPECT_FALSE(w.TrayIcon1->isVisible());
}

TEST(MainWindow, ResizingChangesOnlyTheEventLog) {
    TfrmPrincipal w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const int received = w.Panel2->height(), sent = w.Panel3->height(), log = w.Panel4->height();
    w.resize(600, 758);
    QApplication::processEvents();
    EXPECT_EQ(w.Panel2->height(), received);
    EXPECT_EQ(w.Panel3->height(), sent);
    EXPECT_EQ(w.Panel4->height(), log + 200);
    EXPECT_EQ(w.mmRecebidosAscii->height(), 99);
    EXPECT_EQ(w.mmLog->width(), 600);
}

TEST(MainWindow, EachClearButtonClearsOnlyItsPane) {
    TfrmPrincipal w;
    for (TextPane* pane : {w.mmRecebidosAscii, w.mmEnviadosString, w.mmLog})
        fill(pane, 3);
    QTest::mouseClick(w.btnLimpar, Qt::LeftButton);
    EXPECT_EQ(w.mmRecebidosAscii->lineCount(), 0);
    EXPECT_EQ(w.mmEnviadosString->lineCount(), 3);
    EXPECT_EQ(w.mmLog->lineCount(), 3);
    QTest::mouseClick(w.btnLimparEnviados, Qt::LeftButton);
    EXPECT_EQ(w.mmEnviadosString->lineCount(), 0);
    EXPECT_EQ(w.mmLog->lineCount(), 3);
}

TEST(MainWindow, PaneLineCounting) {
    TfrmPrincipal w;
    TextPane* pane = w.mmLog;
    EXPECT_EQ(pane->lineCount(), 0);
    pane->append(QString());
    EXPECT_EQ(pane->lineCount(), 1);
    pane->append(QStringLiteral("b"));
    EXPECT_EQ(pane->lineCount(), 2);
    EXPECT_EQ(pane->text(), QStringLiteral("\nb"));
    pane->clearLines();
    EXPECT_EQ(pane->lineCount(), 0);
}

TEST(MainWindow, PanesKeepTheNewestTenThousandLines) {
    TfrmPrincipal w;
    fill(w.mmRecebidosAscii, TextPane::kMaxLines + 5);
    EXPECT_EQ(w.mmRecebidosAscii->lineCount(), TextPane::kMaxLines);
    w.mmRecebidosAscii->flush();
    EXPECT_EQ(w.mmRecebidosAscii->document()->firstBlock().text(), QStringLiteral("linha 5"));
    EXPECT_EQ(w.mmRecebidosAscii->document()->lastBlock().text(), QStringLiteral("linha 10004"));
}

// Appending lays nothing out: lines reach the document together, in order, once the window can
// be seen, and not while it is hidden or minimised.
TEST(MainWindow, PaneLinesAreShownTogetherOnlyWhileTheWindowCanBeSeen) {
    TfrmPrincipal w;
    TextPane* pane = w.mmRecebidosAscii;
    const auto documentText = [&] { return pane->document()->isEmpty() ? QString() : pane->toPlainText(); };
    const auto waitPastInterval = [] { QTest::qWait(TextPane::kShowIntervalMs * 4); };

    fill(pane, 3);
    waitPastInterval();
    EXPECT_EQ(documentText(), QString()) << "hidden";
    EXPECT_EQ(pane->lineCount(), 3);

    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !documentText().isEmpty(); }));
    EXPECT_EQ(documentText(), QStringLiteral("linha 0\nlinha 1\nlinha 2"));

    w.setWindowState(Qt::WindowMinimized);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.isMinimized(); }));
    pane->append(QStringLiteral("minimizada"));
    waitPastInterval();
    EXPECT_FALSE(documentText().endsWith(QStringLiteral("minimizada"))) << "minimised";

    w.setWindowState(Qt::WindowNoState);
    ASSERT_TRUE(QTest::qWaitFor([&] { return documentText().endsWith(QStringLiteral("minimizada")); }));
    EXPECT_EQ(pane->lineCount(), 4);
}

TEST(MainWindow, MinimiseShowsTheTrayIconAndRestoreHidesIt) {
    TfrmPrincipal w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.showMinimized();
    QApplication::processEvents();
    EXPECT_TRUE(w.isMinimized());
    EXPECT_TRUE(w.isVisible()); // minimised, not hidden
    EXPECT_TRUE(w.TrayIcon1->isVisible());

    w.TrayIcon1DblClick(w.TrayIcon1);
    EXPECT_FALSE(w.TrayIcon1->isVisible());
    EXPECT_FALSE(w.isMinimized());
    EXPECT_TRUE(w.isVisible());
}

TEST(MainWindow, TrayClickAndDoubleClickRestoreOtherActivationsDoNot) {
    struct Case {
        QSystemTrayIcon::ActivationReason reason;
        bool restores;
    };
    for (const Case& c : {Case{QSystemTrayIcon::Trigger, true}, Case{QSystemTrayIcon::DoubleClick, true},
                          Case{QSystemTrayIcon::Context, false}, Case{QSystemTrayIcon::MiddleClick, false}}) {
        SCOPED_TRACE(c.reason);
        TfrmPrincipal w;
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        w.showMinimized();
        QApplication::processEvents();
        ASSERT_TRUE(w.TrayIcon1->isVisible());
        // What the tray sends when the operator clicks the icon.
        emit w.TrayIcon1->activated(c.reason);
        QApplication::processEvents();
        EXPECT_EQ(w.isMinimized(), !c.restores);
        EXPECT_EQ(w.TrayIcon1->isVisible(), !c.restores);
    }
}

TEST(MainWindow, FirstShownCentredOnTheDesktopWithItsFrame) {
    TfrmPrincipal w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const QRect desktop = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_NE(w.frameGeometry(), w.geometry()) << "the platform draws no frame: nothing to count";
    const QPoint offset = w.frameGeometry().center() - desktop.center();
    EXPECT_LE(offset.manhattanLength(), 1) << offset.x() << "," << offset.y();
}

TEST(MainWindow, RestoreThroughTheTaskbarLeavesTheTrayIcon) {
    TfrmPrincipal w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.showMinimized();
    QApplication::processEvents();
    w.showNormal();
    QApplication::processEvents();
    EXPECT_TRUE(w.TrayIcon1->isVisible());
    // The restore command leaves a window that is not minimised as it is.
    w.MenuItem1->trigger();
    EXPECT_FALSE(w.TrayIcon1->isVisible());
    EXPECT_FALSE(w.isMinimized());
    EXPECT_EQ(w.size(), QSize(435, 558));
}

TEST(MainWindow, ContextMenuSairDoesNothing) {
    TfrmPrincipal w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.Exit1->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(w.isVisible());
}
