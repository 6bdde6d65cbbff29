#include "CardDialogFixture.h"
#include "cards/checkdigit.h"
#include "platform/convert.h"
#include "platform/failure.h"

#include <QElapsedTimer>
#include <QTimer>

TEST(CheckDigit, Examples) {
    struct Case {
        const char* code;
        int digit;
    };
    for (const Case& c : {Case{"123", 6}, Case{"1234567", 0}, Case{"1", 7}, Case{"10", 7}, Case{"1000000", 7},
                          Case{"9999999", 5}, Case{"0", 0}, Case{"", 0}})
        EXPECT_EQ(DigitoVerificador(QString::fromLatin1(c.code), 0), c.digit) << c.code;
    EXPECT_EQ(DigitoVerificador(QStringLiteral("1236"), 1), 6);
    EXPECT_EQ(DigitoVerificador(QStringLiteral("12"), 5), 0);
    EXPECT_THROW(DigitoVerificador(QStringLiteral("-5"), 0), EConvertError);
}

TEST(CheckDigit, CodeWithCorrectDigit) {
    EXPECT_TRUE(CodigoComDigitoCorreto(QStringLiteral("1236")));
    EXPECT_TRUE(CodigoComDigitoCorreto(QStringLiteral("12345670")));
    EXPECT_FALSE(CodigoComDigitoCorreto(QStringLiteral("12345671")));
    EXPECT_THROW(CodigoComDigitoCorreto(QStringLiteral("123x")), EConvertError);
    EXPECT_THROW(CodigoComDigitoCorreto(QString()), EConvertError);
}

TEST_F(CardDialog, LayoutAndShowingLoadsTheDigitCount) {
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Configurar Comandas"));
    EXPECT_EQ(dialog.size(), QSize(351, 319));
    EXPECT_EQ(dialog.rdgChip->geometry(), QRect(32, 16, 162, 65));
    EXPECT_EQ(dialog.prbCartao->geometry(), QRect(85, 87, 150, 17));
    EXPECT_EQ(dialog.SpeedButton1->geometry(), QRect(120, 110, 89, 33));
    EXPECT_EQ(dialog.GroupBox2->geometry(), QRect(32, 176, 249, 129));
    EXPECT_EQ(dialog.SpeedButton2->text(), QStringLiteral("Inserir Cartões"));
    EXPECT_EQ(dialog.EdtQTDDigChip->text(), QStringLiteral("7"));
    EXPECT_EQ(dialog.rdgChipItemIndex(), 0);

    arrange({QStringLiteral("INSERT INTO CONFIGGERAL VALUES ('CFG_QTDCHIPCARTAO', '9')")});
    dialog.show();
    EXPECT_EQ(dialog.EdtQTDDigChip->text(), QStringLiteral("9"));
    dialog.hide();
    ShopSession(database).clear();
    dialog.show();
    EXPECT_EQ(dialog.EdtQTDDigChip->text(), QString());
    dialog.hide();
}

TEST_F(CardDialog, ChipUpdateOfCardsWithoutChipOrOfAll) {
    const QStringList fixture = {card("12345670", nullptr), card("1236", nullptr), card("99", "55"),
                                 card("4444444", nullptr, "I"),
                                 QStringLiteral("INSERT INTO CONFIGGERAL VALUES ('CFG_QTDCHIPCARTAO', '3')")};
    arrange(fixture);
    std::vector<std::pair<int, int>> progress; // value and maximum at every step
    QObject::connect(dialog.prbCartao, &QProgressBar::valueChanged, dialog.prbCartao,
                     [&](int value) { progress.emplace_back(value, dialog.prbCartao->maximum()); });
    updateChips(QStringLiteral("7"), false);
    EXPECT_EQ(dialogs.shown, std::vector<ShownDialog>{kUpdated});
    EXPECT_EQ(cards(), (QStringList{QStringLiteral("12345670:1234567:N"), QStringLiteral("1236:1236:N"),
                                    QStringLiteral("4444444:4444444:I"), QStringLiteral("99:55:N")}));
    EXPECT_EQ(setting(), QStringLiteral("7"));
    // The bar counted the three cards without chip, then was reset, never left as a busy 0..0.
    EXPECT_NE(std::find(progress.begin(), progress.end(), std::pair{3, 3}), progress.end());
    EXPECT_EQ(dialog.prbCartao->value(), 0);
    EXPECT_GT(dialog.prbCartao->maximum(), dialog.prbCartao->minimum());

    // Every chip, deactivated cards included; codes shorter than the count keep their whole code.
    updateChips(QStringLiteral("2"), true);
    EXPECT_EQ(cards(), (QStringList{QStringLiteral("12345670:12:N"), QStringLiteral("1236:12:N"),
                                    QStringLiteral("4444444:44:I"), QStringLiteral("99:99:N")}));
}

TEST_F(CardDialog, DuplicateChipsKeepCardsWithOpenSalesOrCorrectDigits) {
    arrange({card("1236", "123"), card("1230", "123"), card("1231", "123"), card("1232", "123", "I"),
             card("7770", "777"), card("7772", "777"),
             QStringLiteral("INSERT INTO VENDA VALUES (1, '2021-05-03', 57, 'A')"),
             QStringLiteral("INSERT INTO VENDACARTAO VALUES (1, 1, '2021-05-03', 57, '1231')")});
    MD->gd_MenorDataAberta = MD->gd_MaiorDataAberta = QDateTime(QDate(2021, 5, 3), QTime(0, 0));
    updateChips(QStringLiteral("3"), false);
    EXPECT_EQ(dialogs.shown, std::vector<ShownDialog>{kUpdated});
    EXPECT_EQ(cards(),
              (QStringList{QStringLiteral("1230:123:I:DUPLICIDADE CATRACA "), // wrong digit, no open sale
                           QStringLiteral("1231:123:N"),                      // open sale in the open days
                           QStringLiteral("1232:123:I"), // already inactive: not in the group
                           QStringLiteral("1236:123:N"), // correct check digit
                           QStringLiteral("7770:777:I:DUPLICIDADE CATRACA "), // neither stays active
                           QStringLiteral("7772:777:I:DUPLICIDADE CATRACA ")}));
    // The setting row is updated only where it exists.
    EXPECT_EQ(ShopSession(database).scalar(QStringLiteral("SELECT COUNT(*) FROM CONFIGGERAL")),
              QStringLiteral("0"));
}

TEST_F(CardDialog, ChipGroupsAreFormedByExactChipText) {
    arrange({card("01230", "0123"), card("01231", "0123"), card("1230", "123"), card("5550", "A'B"),
             card("5555", "A'B")});
    updateChips(QStringLiteral("4"), false);
    EXPECT_EQ(dialogs.shown.back(), kUpdated);
    const QStringList after = cards();
    EXPECT_TRUE(after.contains(QStringLiteral("01230:0123:N")));
    EXPECT_TRUE(after.contains(QStringLiteral("01231:0123:I:DUPLICIDADE CATRACA ")));
    EXPECT_TRUE(after.contains(QStringLiteral("1230:123:N")))
        << "a card of the chip '123' is not in the group '0123'";
    // A chip that is not a number forms its group like any other.
    EXPECT_TRUE(after.contains(QStringLiteral("5550:A'B:I:DUPLICIDADE CATRACA ")));
    EXPECT_TRUE(after.contains(QStringLiteral("5555:A'B:N")));
    EXPECT_TRUE(testlog::startingWith(QStringLiteral("Erro = ")).isEmpty());
}

TEST_F(CardDialog, DigitCountMustBeAWholeNumberFromOneToEighteen) {
    arrange(
        {card("1236", nullptr), QStringLiteral("INSERT INTO CONFIGGERAL VALUES ('CFG_QTDCHIPCARTAO', '7')")});
    for (const char* bad :
         {"", "0", "19", "abc", "7)", "7 OR 1=1", "-3", " 7", "$7", "0x7", "1e1", "+7", "\u0667", "\uff17"}) {
        SCOPED_TRACE(bad);
        dialogs.shown.clear();
        updateChips(QString::fromUtf8(bad), true);
        EXPECT_EQ(dialogs.shown,
                  (std::vector<ShownDialog>{
                      {dialogs::Kind::Warning, QStringLiteral("Quantidade de dígitos do chip inválida.")}}));
        EXPECT_EQ(cards(), QStringList{QStringLiteral("1236::N")});
        EXPECT_EQ(setting(), QStringLiteral("7"));
    }
    dialogs.shown.clear();
    updateChips(QStringLiteral("18"), true);
    EXPECT_EQ(dialogs.shown, std::vector<ShownDialog>{kUpdated});
    EXPECT_EQ(setting(), QStringLiteral("18"));
}

TEST_F(CardDialog, FailedQueryStopsTheRun) {
    arrange({card("1236", nullptr)});
    MD->ibdConexao.Close();
    MD->ibdConexao.DatabaseName =
        FirebirdServer::shared().connectionName(FirebirdServer::shared().fileFor(QStringLiteral("missing")));
    dialog.prbCartao->setValue(5);
    updateChips(QStringLiteral("3"), true);
    EXPECT_EQ(dialogs.shown,
              (std::vector<ShownDialog>{
                  {dialogs::Kind::Warning,
                   QStringLiteral("Não foi possível consultar o banco de dados. Operação interrompida.")}}));
    EXPECT_EQ(dialog.prbCartao->value(), 5);
    EXPECT_EQ(testlog::startingWith(QStringLiteral("Erro = ")).size(), 1);
}

TEST_F(CardDialog, InsertingRanges) {
    insert(QStringLiteral("123"), QStringLiteral("125"));
    EXPECT_EQ(dialogs.shown, std::vector<ShownDialog>{kInserted});
    EXPECT_EQ(cards(), (QStringList{QStringLiteral("1236:123:N"), QStringLiteral("1243:124:N"),
                                    QStringLiteral("1250:125:N")}));

    ShopSession(database).clear();
    insert(QStringLiteral("0"), QStringLiteral("0"));
    EXPECT_EQ(cards(), QStringList{QStringLiteral("0:0:N")}); // the code 00 written bare is the number 0

    ShopSession(database).clear();
    dialogs.shown.clear();
    insert(QStringLiteral("5"), QStringLiteral("4"));
    EXPECT_EQ(dialogs.shown, std::vector<ShownDialog>{kInserted});
    EXPECT_TRUE(cards().isEmpty());
}

TEST_F(CardDialog, BadRangesInsertNothing) {
    struct Case {
        const char* first;
        const char* last;
        const char* message;
    };
    // Only plain decimal numbers: a hex form, an exponent or the digits of another script would
    // insert other cards than the ones typed.
    for (const Case& c : {Case{"12a", "20", "'12a' is not a valid integer value"},
                          Case{"10", "", "'' is not a valid integer value"},
                          Case{"-5", "3", "'-' is not a valid integer value"},
                          Case{"$10", "20", "'$10' is not a valid integer value"},
                          Case{"10", "0x14", "'0x14' is not a valid integer value"},
                          Case{"10", "0X14", "'0X14' is not a valid integer value"},
                          Case{"1e1", "20", "'1e1' is not a valid integer value"},
                          Case{"10", "2E1", "'2E1' is not a valid integer value"},
                          Case{"\u0661\u0660", "20", "'\u0661\u0660' is not a valid integer value"},
                          Case{"10", "\uff12\uff10", "'\uff12\uff10' is not a valid integer value"},
                          Case{"1 0", "20", "'1 0' is not a valid integer value"},
                          Case{"10", "2147483648", "'2147483648' is not a valid integer value"}}) {
        SCOPED_TRACE(c.first);
        dialogs.shown.clear();
        insert(QString::fromUtf8(c.first), QString::fromUtf8(c.last));
        EXPECT_EQ(dialogs.shown,
                  (std::vector<ShownDialog>{{dialogs::Kind::StandardError, QString::fromUtf8(c.message)}}));
        EXPECT_TRUE(cards().isEmpty());
    }
}

TEST_F(CardDialog, RefusedInsertIsLoggedAndStopsTheRun) {
    arrange({card("1236", "123")});
    insert(QStringLiteral("123"), QStringLiteral("124"));
    EXPECT_EQ(dialogs.shown,
              (std::vector<ShownDialog>{
                  {dialogs::Kind::Warning, QStringLiteral("Inserção interrompida: gravados 0 de 2 "
                                                          "cartões; parou no cartão 1236: cartão já "
                                                          "cadastrado.")}}));
    EXPECT_EQ(cards(), QStringList{QStringLiteral("1236:123:N")});
    const QStringList errors = testlog::startingWith(QStringLiteral("Erro = "));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith(QStringLiteral("Erro = 335544665, Mensagem = ")))
        << errors[0].toStdString();
}

TEST_F(CardDialog, TenThousandCards) {
    QElapsedTimer clock;
    clock.start();
    insert(QStringLiteral("1000000"), QStringLiteral("1009999"));
    std::printf("inserted 10,000 cards in %lld ms\n", static_cast<long long>(clock.elapsed()));
    EXPECT_EQ(dialogs.shown, std::vector<ShownDialog>{kInserted});
    // The bar counted every card of the range.
    EXPECT_EQ(dialog.prbCartao->maximum(), 10000);
    EXPECT_EQ(dialog.prbCartao->value(), 10000);
    ShopSession session(database);
    EXPECT_EQ(session.scalar(QStringLiteral("SELECT COUNT(*) FROM CADCARTAO")), QStringLiteral("10000"));
    int checked = 0;
    for (const QStringList& row :
         session.rows(QStringLiteral("SELECT CAR_CODIGO, CAR_CHIP FROM CADCARTAO"))) {
        ASSERT_TRUE(CodigoComDigitoCorreto(row[0])) << row[0].toStdString();
        ASSERT_EQ(row[0].left(7), row[1]);
        ++checked;
    }
    EXPECT_EQ(checked, 10000);
}

TEST_F(CardDialog, BlanksAndAPlusSignInsertTheCardsTheDigitsName) {
    insert(QStringLiteral(" 12"), QStringLiteral("\t+13 "));
    EXPECT_EQ(dialogs.shown, std::vector<ShownDialog>{kInserted});
    EXPECT_EQ(cards(), (QStringList{QStringLiteral("125:12:N"), QStringLiteral("134:13:N")}));
}

TEST(ParseDecimal, OnlyPlainDecimalNumbers) {
    struct Case {
        const char* text;
        std::optional<int32_t> value;
    };
    for (const Case& c : {Case{"0", 0},
                          Case{"0012", 12},
                          Case{" 7\t", 7},
                          Case{"+7", 7},
                          Case{"-7", -7},
                          Case{"2147483647", INT32_MAX},
                          Case{"-2147483648", INT32_MIN},
                          Case{"2147483648", std::nullopt},
                          Case{"-2147483649", std::nullopt},
                          Case{"99999999999999999999999", std::nullopt},
                          Case{"", std::nullopt},
                          Case{" ", std::nullopt},
                          Case{"+", std::nullopt},
                          Case{"-", std::nullopt},
                          Case{"+-7", std::nullopt},
                          Case{"1 2", std::nullopt},
                          Case{"$10", std::nullopt},
                          Case{"0x10", std::nullopt},
                          Case{"1e3", std::nullopt},
                          Case{"12.0", std::nullopt},
                          Case{"\u0661\u0662", std::nullopt},
                          Case{"\uff11\uff12", std::nullopt},
                          Case{"\u00a012", std::nullopt}}) {
        EXPECT_EQ(parseDecimal(QString::fromUtf8(c.text)), c.value) << c.text;
    }
}

// Enter in an edit box is no button press: a typed range and Enter write nothing.
TEST_F(CardDialog, EnterInAnEditBoxNeverWrites) {
    arrange({card("12345670", nullptr),
             QStringLiteral("INSERT INTO CONFIGGERAL VALUES ('CFG_QTDCHIPCARTAO', '7')")});
    dialog.show();
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->isDefault()) << button->text().toStdString();
        EXPECT_FALSE(button->autoDefault()) << button->text().toStdString();
    }
    for (QLineEdit* edit : {dialog.EdtCarIni, dialog.EdtCarFim, dialog.EdtQTDDigChip}) {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
            dialog.EdtCarIni->clear();
            dialog.EdtCarFim->clear();
            QTest::keyClicks(dialog.EdtCarIni, QStringLiteral("123"));
            QTest::keyClicks(dialog.EdtCarFim, QStringLiteral("125"));
            edit->setFocus();
            QTest::keyClick(edit, key);
        }
    }
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(cards(), QStringList{QStringLiteral("12345670::N")});
    EXPECT_EQ(setting(), QStringLiteral("7"));
    EXPECT_TRUE(dialog.isVisible());
    dialog.hide();
}

// Each card has a wrong check digit and shares its chip with a card whose digit is right, so
// only its open sales decide whether it stays active.
TEST_F(CardDialog, OpenSalesKeepACardOnlyInsideTheOpenDays) {
    struct Case {
        const char* day;
        const char* situacao;
        bool stays;
    };
    const Case cases[] = {{"2021-05-03", "A", true},  {"2021-05-05", "A", true},  {"2021-05-04", "A", true},
                          {"2021-05-02", "A", false}, {"2021-05-06", "A", false}, {"2021-05-04", "F", false},
                          {"2021-05-04", "C", false}};
    QStringList fixture;
    QStringList expected;
    int n = 0;
    for (const Case& c : cases) {
        const QString chip = QString::number(101 + n);
        const int digito = DigitoVerificador(chip, 0);
        const QString certo = chip + QString::number(digito);
        const QString errado = chip + QString::number((digito + 1) % 10);
        fixture << card(certo.toLatin1().constData(), chip.toLatin1().constData())
                << card(errado.toLatin1().constData(), chip.toLatin1().constData())
                << QStringLiteral("INSERT INTO VENDA VALUES (1, '%1', %2, '%3')")
                       .arg(QString::fromLatin1(c.day))
                       .arg(n + 1)
                       .arg(QString::fromLatin1(c.situacao))
                << QStringLiteral("INSERT INTO VENDACARTAO VALUES (%1, 1, '%2', %1, '%3')")
                       .arg(n + 1)
                       .arg(QString::fromLatin1(c.day), errado);
        expected << certo + u':' + chip + QStringLiteral(":N")
                 << errado + u':' + chip +
                        (c.stays ? QStringLiteral(":N") : QStringLiteral(":I:DUPLICIDADE CATRACA "));
        ++n;
    }
    arrange(fixture);
    MD->gd_MenorDataAberta = QDateTime(QDate(2021, 5, 3), QTime(0, 0));
    MD->gd_MaiorDataAberta = QDateTime(QDate(2021, 5, 5), QTime(0, 0));
    updateChips(QStringLiteral("3"), false);
    EXPECT_EQ(dialogs.shown, std::vector<ShownDialog>{kUpdated});
    expected.sort();
    EXPECT_EQ(cards(), expected);
}

// A code that is no number ends the update where it is met: what was written stays, the digit
// count is not stored, and nothing says the update was done.
TEST_F(CardDialog, BadCodeInTheMiddleOfAnUpdate) {
    arrange({card("5550", nullptr), card("1110", "111"), card("1111", "111"), card("12A0", "12A"),
             card("12A1", "12A"),
             QStringLiteral("INSERT INTO CONFIGGERAL VALUES ('CFG_QTDCHIPCARTAO', '7')")});
    updateChips(QStringLiteral("3"), false);
    EXPECT_EQ(dialogs.shown,
              (std::vector<ShownDialog>{
                  {dialogs::Kind::StandardError, QStringLiteral("'A' is not a valid integer value")}}));
    EXPECT_EQ(cards(),
              (QStringList{QStringLiteral("1110:111:I:DUPLICIDADE CATRACA "),
                           QStringLiteral("1111:111:I:DUPLICIDADE CATRACA "), QStringLiteral("12A0:12A:N"),
                           QStringLiteral("12A1:12A:N"), QStringLiteral("5550:555:N")}));
    EXPECT_EQ(setting(), QStringLiteral("7"));
    // The dialog takes work again.
    EXPECT_TRUE(dialog.SpeedButton1->isEnabled());
    EXPECT_TRUE(dialog.SpeedButton2->isEnabled());
    EXPECT_FALSE(dialog.btnCancelar->isEnabled());
}

// Opened again through the main window's button, the dialog reloads the digit count from the
// database; the choice and the range boxes keep what the operator left in them.
TEST_F(CardDialog, OpeningAgainReloadsTheDigitCount) {
    frmConfigComandas = &dialog;
    struct Seen {
        QString digitos, primeiro;
        int escolha;
    };
    std::vector<Seen> seen;
    auto openAndClose = [&] {
        QTimer::singleShot(0, &dialog, [&] {
            seen.push_back(
                {dialog.EdtQTDDigChip->text(), dialog.EdtCarIni->text(), dialog.rdgChipItemIndex()});
            dialog.EdtQTDDigChip->setText(QStringLiteral("4"));
            dialog.EdtCarIni->setText(QStringLiteral("77"));
            dialog.rdgChipTodas->setChecked(true);
            dialog.close();
        });
        program.window().btnConfigComandas->click();
    };
    arrange({QStringLiteral("INSERT INTO CONFIGGERAL VALUES ('CFG_QTDCHIPCARTAO', '5')")});
    openAndClose();
    ShopSession(database).exec(QStringLiteral("UPDATE CONFIGGERAL SET CFG_VALOR = '9'"));
    openAndClose();
    frmConfigComandas = nullptr;
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].digitos, QStringLiteral("5"));
    EXPECT_EQ(seen[0].escolha, 0);
    EXPECT_EQ(seen[1].digitos, QStringLiteral("9"));
    EXPECT_EQ(seen[1].primeiro, QStringLiteral("77"));
    EXPECT_EQ(seen[1].escolha, 1);
    EXPECT_TRUE(dialogs.shown.empty());
}
