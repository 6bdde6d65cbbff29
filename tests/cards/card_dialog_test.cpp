#include "DialogRecorder.h"
#include "LogFile.h"
#include "ProgramUnderTest.h"
#include "cards/checkdigit.h"
#include "cards/untConfigComandas.h"
#include "platform/failure.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

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

namespace {
class CardDialog : public ::testing::Test {
protected:
    static inline QString database;
    static void SetUpTestSuite() {
        database = FirebirdServer::shared().shopDatabase(QStringLiteral("cards"));
    }
    void SetUp() override {
        ShopSession(database).clear();
        testlog::clear();
    }
    void arrange(const QStringList& rows) { ShopSession(database).exec(rows); }
    static QString card(const char* codigo, const char* chip, const char* situacao = "N") {
        return QStringLiteral("INSERT INTO CADCARTAO VALUES (1, '%1', '%2', NULL, NULL, %3)")
            .arg(QString::fromLatin1(codigo), QString::fromLatin1(situacao),
                 chip ? u'\'' + QString::fromLatin1(chip).replace(u'\'', QStringLiteral("''")) + u'\''
                      : QStringLiteral("NULL"));
    }
    // "code:chip:situation[:reason]" for every card, ordered by code.
    QStringList cards() {
        QStringList out;
        for (const QStringList& r : ShopSession(database).rows(
                 QStringLiteral("SELECT CAR_CODIGO, CAR_CHIP, CAR_SITUACAO, CAR_MOTIVOINATIVACAO FROM "
                                "CADCARTAO ORDER BY CAR_CODIGO"))) {
            QString line = r[0] + u':' + r[1] + u':' + r[2];
            if (!r[3].isEmpty()) line += u':' + r[3];
            out << line;
        }
        return out;
    }
    QString setting() {
        return ShopSession(database).scalar(QStringLiteral("SELECT CFG_VALOR FROM CONFIGGERAL"));
    }
    void updateChips(const QString& digits, bool all) {
        dialog.EdtQTDDigChip->setText(digits);
        (all ? dialog.rdgChipTodas : dialog.rdgChipSemChip)->setChecked(true);
        QTest::mouseClick(dialog.SpeedButton1, Qt::LeftButton);
    }
    void insert(const QString& first, const QString& last) {
        dialog.EdtCarIni->setText(first);
        dialog.EdtCarFim->setText(last);
        QTest::mouseClick(dialog.SpeedButton2, Qt::LeftButton);
    }

    ProgramUnderTest program{database};
    TfrmConfigComandas dialog;
    DialogRecorder dialogs;
};

const ShownDialog kUpdated{dialogs::Kind::Information, QStringLiteral("COMANDAS ATUALIZADAS")};
const ShownDialog kInserted{dialogs::Kind::Information, QStringLiteral("Cartões inseridos!")};
} // namespace

TEST_F(CardDialog, LayoutAndShowingLoadsTheDigitCount) {
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Configurar Comandas"));
    EXPECT_EQ(dialog.size(), QSize(351, 319));
    EXPECT_EQ(dialog.rdgChip->geometry(), QRect(32, 16, 145, 65));
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
    updateChips(QStringLiteral("7"), false);
    EXPECT_EQ(dialogs.shown, std::vector<ShownDialog>{kUpdated});
    EXPECT_EQ(cards(), (QStringList{QStringLiteral("12345670:1234567:N"), QStringLiteral("1236:1236:N"),
                                    QStringLiteral("4444444:4444444:I"), QStringLiteral("99:55:N")}));
    EXPECT_EQ(setting(), QStringLiteral("7"));
    EXPECT_EQ(dialog.prbCartao->value(), 0);

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
    for (const char* bad : {"", "0", "19", "abc", "7)", "7 OR 1=1", "-3", " 7"}) {
        SCOPED_TRACE(bad);
        dialogs.shown.clear();
        updateChips(QString::fromLatin1(bad), true);
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
    for (const Case& c : {Case{"12a", "20", "'12a' is not a valid integer value"},
                          Case{"10", "", "'' is not a valid integer value"},
                          Case{"-5", "3", "'-' is not a valid integer value"}}) {
        SCOPED_TRACE(c.first);
        dialogs.shown.clear();
        insert(QString::fromLatin1(c.first), QString::fromLatin1(c.last));
        EXPECT_EQ(dialogs.shown,
                  (std::vector<ShownDialog>{{dialogs::Kind::StandardError, QString::fromLatin1(c.message)}}));
        EXPECT_TRUE(cards().isEmpty());
    }
}

TEST_F(CardDialog, RefusedInsertIsLoggedAndTheRunGoesOn) {
    arrange({card("1236", "123")});
    insert(QStringLiteral("123"), QStringLiteral("124"));
    EXPECT_EQ(dialogs.shown, std::vector<ShownDialog>{kInserted});
    EXPECT_EQ(cards(), (QStringList{QStringLiteral("1236:123:N"), QStringLiteral("1243:124:N")}));
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
    EXPECT_EQ(dialog.prbCartao->value(), dialog.prbCartao->maximum());
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
