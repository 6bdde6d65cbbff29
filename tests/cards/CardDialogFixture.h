#pragma once
// The card dialog under test, with the program's data module on a private shop database and the
// message boxes answered by a recorder.
#include "DialogRecorder.h"
#include "LogFile.h"
#include "ProgramUnderTest.h"
#include "cards/untConfigComandas.h"

#include <QTest>
#include <gtest/gtest.h>

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

inline const ShownDialog kUpdated{dialogs::Kind::Information, QStringLiteral("COMANDAS ATUALIZADAS")};
inline const ShownDialog kInserted{dialogs::Kind::Information, QStringLiteral("Cartões inseridos!")};
