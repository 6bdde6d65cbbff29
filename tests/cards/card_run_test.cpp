// Long and failing card work: every write's result is looked at, the run stops at the first
// failure and says how far it got, the gate answers card reads while the dialog works, and the
// operator can cancel.
#include "CardDialogFixture.h"
#include "cards/checkdigit.h"
#include "database/untMD.h"

#include <QRegularExpression>
#include <QTimer>

namespace {
// A second attachment that holds one card's row in an open transaction, as another terminal
// whose sale is being written would.
class RowLock {
public:
    RowLock(const QString& database, const char* codigo) {
        connection_.DatabaseName = database;
        connection_.Params = {QStringLiteral("user_name=SYSDBA"), QStringLiteral("password=kestrelio")};
        connection_.Open();
        db::TDataSet update(connection_, transaction_);
        update.SQL =
            QStringLiteral("UPDATE CADCARTAO SET CAR_SITUACAO = CAR_SITUACAO WHERE CAR_CODIGO = '%1'")
                .arg(QString::fromLatin1(codigo));
        update.ExecSQL();
    }

private:
    db::Connection connection_;
    db::Transaction transaction_{connection_};
};

// Runs an action once, from the message loop, after the bar reached a value: only a dialog that
// lets the loop run between cards gets to it before the work ends.
void duringWork(QProgressBar* bar, int atValue, std::function<void()> action) {
    auto* connection = new QMetaObject::Connection;
    *connection = QObject::connect(bar, &QProgressBar::valueChanged, bar, [=](int value) {
        if (value != atValue) return;
        QObject::disconnect(*connection);
        delete connection;
        QTimer::singleShot(0, bar, action);
    });
}

// The code of the card numbered k.
QString codigo(int k) {
    return QString::number(k) + QString::number(DigitoVerificador(QString::number(k), 0));
}

// "code:chip:N" for the new cards numbered first to last.
QStringList newCards(int first, int last) {
    QStringList out;
    for (int k = first; k <= last; ++k)
        out << codigo(k) + u':' + QString::number(k) + QStringLiteral(":N");
    out.sort();
    return out;
}
} // namespace

TEST_F(CardDialog, InsertOverAnExistingCardStopsThereAndKeepsIt) {
    arrange({card("1243", "XYZ", "I")});
    insert(QStringLiteral("123"), QStringLiteral("125"));
    EXPECT_EQ(dialogs.shown,
              (std::vector<ShownDialog>{
                  {dialogs::Kind::Warning, QStringLiteral("Inserção interrompida: gravados 1 de 3 "
                                                          "cartões; parou no cartão 1243: cartão já "
                                                          "cadastrado.")}}));
    EXPECT_EQ(cards(), (QStringList{QStringLiteral("1236:123:N"), QStringLiteral("1243:XYZ:I")}));
    EXPECT_EQ(dialog.prbCartao->value(), 1);
    EXPECT_TRUE(dialog.SpeedButton2->isEnabled());
}

// An update that meets a card another attachment holds fails at once (the transactions do not
// wait); the run stops there, and neither the rest nor the digit count is written.
TEST_F(CardDialog, ChipUpdateMeetingALockedCardStopsThere) {
    struct Case {
        const char* name;
        QStringList fixture;
        const char* locked;
        const char* message; // a pattern: the count depends on the order the cards come in
    };
    const QString setting7 = QStringLiteral("INSERT INTO CONFIGGERAL VALUES ('CFG_QTDCHIPCARTAO', '7')");
    const Case cases[] = {
        {"chip write",
         {card("1236", nullptr), card("1243", nullptr), card("1250", nullptr), setting7},
         "1243",
         "^Atualização interrompida: gravados (\\d) de 3 chips; parou no cartão 1243: "
         "cartão em uso por outra conexão ao banco\\.$"},
        {"duplicate deactivation",
         {card("7772", "777"), card("7773", "777"), setting7},
         "7773",
         "^Atualização interrompida: chips gravados; (\\d) cartões duplicados desativados; "
         "parou no cartão 7773: cartão em uso por outra conexão ao banco\\.$"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ShopSession(database).clear();
        dialogs.shown.clear();
        arrange(c.fixture);
        const QStringList before = cards();
        {
            RowLock lock(database, c.locked);
            updateChips(QStringLiteral("3"), false);
        }
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].kind, dialogs::Kind::Warning);
        const auto match = QRegularExpression(QString::fromUtf8(c.message)).match(dialogs.shown[0].text);
        ASSERT_TRUE(match.hasMatch()) << dialogs.shown[0].text.toStdString();
        const QStringList after = cards();
        int changed = 0;
        for (qsizetype i = 0; i < after.size(); ++i)
            changed += after[i] != before[i];
        EXPECT_EQ(changed, match.captured(1).toInt()) << after.join(u' ').toStdString();
        EXPECT_TRUE(
            after.filter(QString::fromLatin1(c.locked) + u':').first().endsWith(QStringLiteral(":N")));
        EXPECT_EQ(setting(), QStringLiteral("7"));
    }
}

// The connection is ended by the server while a range is inserted: the run stops at the first
// card that could not be written and names it; every card said written is in the table.
TEST_F(CardDialog, ConnectionEndedInTheMiddleOfARange) {
    const int esperaAntes = TMD::EsperaReconexaoMs;
    TMD::EsperaReconexaoMs = 10;
    dialog.prbCartao->setMaximum(100);
    QObject::connect(dialog.prbCartao, &QProgressBar::valueChanged, dialog.prbCartao, [&](int value) {
        if (value == 3)
            ShopSession(database).exec(
                QStringLiteral("DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION"));
    });
    insert(QStringLiteral("2000"), QStringLiteral("2009"));
    TMD::EsperaReconexaoMs = esperaAntes;
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, dialogs::Kind::Warning);
    EXPECT_EQ(
        dialogs.shown[0].text,
        QStringLiteral("Inserção interrompida: gravados 3 de 10 cartões; parou no cartão %1: conexão com o "
                       "banco perdida.")
            .arg(codigo(2003)));
    EXPECT_EQ(cards(), newCards(2000, 2002));
}

// While a range is inserted the message loop runs between cards: a card read is answered, and
// its own write (closing a sale with nothing to pay) is committed, while the dialog's inputs are
// off and "Cancelar" is on.
TEST_F(CardDialog, CardReadsAreAnsweredWhileARangeIsInserted) {
    arrange({card("9995", "999"), QStringLiteral("INSERT INTO CAIXASITUACAO VALUES (1, '2021-05-03', 'S')"),
             QStringLiteral("INSERT INTO VENDA VALUES (1, '2021-05-03', 57, 'A')"),
             QStringLiteral("INSERT INTO VENDACARTAO VALUES (1, 1, '2021-05-03', 57, '9995')")});
    bool answered = false, liberada = false, existe = false, inputsOff = false;
    int atCard = 0;
    duringWork(dialog.prbCartao, 2, [&] {
        atCard = dialog.prbCartao->value();
        inputsOff = !dialog.SpeedButton1->isEnabled() && !dialog.SpeedButton2->isEnabled() &&
                    !dialog.EdtCarIni->isEnabled() && dialog.btnCancelar->isEnabled();
        liberada = MD->VeriVendEmAbert(QStringLiteral("999"), existe);
        answered = true;
    });
    insert(QStringLiteral("3000"), QStringLiteral("3019"));
    EXPECT_TRUE(answered);
    EXPECT_LT(atCard, 20);
    EXPECT_TRUE(inputsOff);
    EXPECT_TRUE(liberada);
    EXPECT_TRUE(existe);
    EXPECT_EQ(ShopSession(database).scalar(QStringLiteral("SELECT VEN_SITUACAO FROM VENDA")),
              QStringLiteral("C"));
    EXPECT_EQ(dialogs.shown, std::vector<ShownDialog>{kInserted});
    QStringList expected = newCards(3000, 3019);
    expected << QStringLiteral("9995:999:N");
    expected.sort();
    EXPECT_EQ(cards(), expected);
    EXPECT_TRUE(dialog.SpeedButton2->isEnabled());
    EXPECT_FALSE(dialog.btnCancelar->isEnabled());
}

// "Cancelar", Escape and the close box stop a run after the card being written and say how far
// it got; the dialog stays open.
TEST_F(CardDialog, CancelStopsAfterTheCurrentCard) {
    struct Case {
        const char* name;
        std::function<void(TfrmConfigComandas&)> cancel;
    };
    const Case cases[] = {
        {"button", [](TfrmConfigComandas& d) { QTest::mouseClick(d.btnCancelar, Qt::LeftButton); }},
        {"Escape", [](TfrmConfigComandas& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
        {"close box", [](TfrmConfigComandas& d) { d.close(); }},
    };
    dialog.show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ShopSession(database).clear();
        dialogs.shown.clear();
        duringWork(dialog.prbCartao, 3, [&] { c.cancel(dialog); });
        insert(QStringLiteral("4000"), QStringLiteral("4019"));
        EXPECT_EQ(
            dialogs.shown,
            (std::vector<ShownDialog>{
                {dialogs::Kind::Information,
                 QStringLiteral("Inserção cancelada: gravados 3 de 20 cartões, do número 4000 ao 4002.")}}));
        EXPECT_EQ(cards(), newCards(4000, 4002));
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(dialog.SpeedButton2->isEnabled());
    }
    // Idle, the close box closes.
    dialog.close();
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(CardDialog, CancelStopsAChipUpdate) {
    arrange({card("1236", nullptr), card("1243", nullptr), card("1250", nullptr), card("1267", nullptr),
             QStringLiteral("INSERT INTO CONFIGGERAL VALUES ('CFG_QTDCHIPCARTAO', '7')")});
    duringWork(dialog.prbCartao, 2, [&] { QTest::mouseClick(dialog.btnCancelar, Qt::LeftButton); });
    updateChips(QStringLiteral("3"), false);
    EXPECT_EQ(dialogs.shown,
              (std::vector<ShownDialog>{{dialogs::Kind::Information,
                                         QStringLiteral("Atualização cancelada: gravados 2 de 4 chips.")}}));
    EXPECT_EQ(
        ShopSession(database).scalar(QStringLiteral("SELECT COUNT(*) FROM CADCARTAO WHERE CAR_CHIP IS NULL")),
        QStringLiteral("2"));
    EXPECT_EQ(setting(), QStringLiteral("7"));
}

// A range of more than 100,000 cards is inserted only after the operator confirms its size.
TEST_F(CardDialog, LargeRangesAskFirst) {
    struct Case {
        const char* first;
        const char* last;
        bool answer;
        const char* question; // none when nothing is asked
        bool runs;
    };
    const Case cases[] = {
        {"1", "100001", false, "Inserir 100001 cartões, do número 1 ao 100001?", false},
        {"1", "100001", true, "Inserir 100001 cartões, do número 1 ao 100001?", true},
        {"1", "100000", false, nullptr, true},
        {"0", "2147483647", false, "Inserir 2147483648 cartões, do número 0 ao 2147483647?", false},
    };
    // A run that starts is cancelled after its first card.
    QObject::connect(dialog.prbCartao, &QProgressBar::valueChanged, dialog.prbCartao, [&](int value) {
        if (value == 1) QTimer::singleShot(0, dialog.btnCancelar, [&] { dialog.btnCancelar->click(); });
    });
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.first) + ".." + c.last);
        ShopSession(database).clear();
        dialogs.shown.clear();
        dialogs.questions.clear();
        dialogs.answer = c.answer;
        insert(QString::fromLatin1(c.first), QString::fromLatin1(c.last));
        EXPECT_EQ(dialogs.questions,
                  c.question ? std::vector<QString>{QString::fromUtf8(c.question)} : std::vector<QString>{});
        EXPECT_EQ(cards().size(), c.runs ? 1 : 0);
        EXPECT_EQ(dialogs.shown.size(), c.runs ? 1u : 0u);
    }
}

// A reconnect failed while the server was down and left the connection closed; once the server
// is back, a range insert opens it again and writes every card.
TEST_F(CardDialog, RangeInsertAfterAFailedReconnect) {
    const int esperaAntes = TMD::EsperaReconexaoMs;
    TMD::EsperaReconexaoMs = 10;
    QDir().mkpath(PastaExecutavel() + QStringLiteral("ControleCatraca"));
    FirebirdServer::shared().stop();
    std::unique_ptr<db::TDataSet> q;
    EXPECT_EQ(MD->Consultar(QStringLiteral("SELECT * FROM CADCARTAO"), q, 1), 0);
    FirebirdServer::shared().start();
    TMD::EsperaReconexaoMs = esperaAntes;
    ASSERT_FALSE(MD->ibdConexao.Connected());

    insert(QStringLiteral("2000"), QStringLiteral("2002"));
    EXPECT_EQ(dialogs.shown, (std::vector<ShownDialog>{{dialogs::Kind::Information, QStringLiteral("Cartões inseridos!")}}));
    EXPECT_EQ(cards(), newCards(2000, 2002));
}
