#include "DialogRecorder.h"
#include "Files.h"
#include "platform/convert.h"
#include "platform/failure.h"
#include "base/untFuncoes.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

TEST(TextFunctions, Empty) {
    struct Case {
        QString text;
        bool empty;
    };
    for (const Case& c :
         {Case{QString(), true}, Case{QStringLiteral("  "), true}, Case{QStringLiteral("\t\r\n\t"), true},
          Case{QStringLiteral(" a "), false}, Case{QString(QChar(0xA0)), false}}) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(Empty(c.text), c.empty);
    }
}

TEST(TextFunctions, StrZero) {
    struct Case {
        QString text;
        int width;
        QString padded;
    };
    for (const Case& c :
         {Case{QStringLiteral("1"), 3, QStringLiteral("001")}, Case{QString(), 3, QStringLiteral("000")},
          Case{QStringLiteral("-5"), 3, QStringLiteral("0-5")},
          Case{QStringLiteral("1234"), 3, QStringLiteral("1234")},
          Case{QStringLiteral("7"), 0, QStringLiteral("7")},
          Case{QStringLiteral("7"), -2, QStringLiteral("7")}}) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(StrZero(c.text, c.width), c.padded);
    }
}

TEST(TextFunctions, VersionLabels) {
    struct Case {
        int id, major, minor;
        const char* label;
    };
    const Case cases[] = {{1, 4, 0, "95"},
                          {1, 4, 10, "98"},
                          {1, 4, 90, "ME"},
                          {1, 4, 5, "Desconhecido"},
                          {2, 3, 51, "NT 3.51"},
                          {2, 4, 0, "NT 4.0"},
                          {2, 5, 0, "2000"},
                          {2, 5, 1, "XP"},
                          {2, 5, 2, "Desconhecido"},
                          {2, 6, 0, "VISTA"},
                          {2, 6, 1, "7"},
                          {2, 6, 2, "Desconhecido"},
                          {2, 10, 0, "Desconhecido"},
                          {0, 0, 0, "Desconhecido"}};
    for (const Case& c : cases)
        EXPECT_EQ(RotuloVersao(c.id, c.major, c.minor), QString::fromUtf8(c.label))
            << c.id << c.major << c.minor;
    EXPECT_EQ(VersaoWindows(), QStringLiteral("Desconhecido"));
}

TEST(MarkerNames, PaddedToFiveDigits) {
    EXPECT_EQ(NomeArquivoErro(1), QStringLiteral("00001.error"));
    EXPECT_EQ(NomeArquivoErro(2), QStringLiteral("00002.error"));
    EXPECT_EQ(NomeArquivoErro(10061), QStringLiteral("10061.error"));
    EXPECT_EQ(NomeArquivoErro(335544721), QStringLiteral("335544721.error"));
    EXPECT_EQ(NomeArquivoErro(-1), QStringLiteral("-00001.error"));
}

class IniReading : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("Nutrava.Ini")); }
    void SetUp() override {
        QByteArray longValue(3000, 'x');
        testfiles::write(path(), "; comment line\r\n"
                                 "[Outra]\r\nServidor=errado\r\n"
                                 "[Configuracoes]\r\n"
                                 "  servidor  =  SRV01  \r\n"
                                 "NumPDV=7\r\n"
                                 "Servidor=segundo\r\n"
                                 "Citado=\"com aspas\"\r\n"
                                 "Acento=S\xE3o Jo\xE3o\r\n"
                                 "Longo=" +
                                     longValue +
                                     "\r\n"
                                     "[configuracoes]\r\nNumPDV=99\r\n");
    }
};

TEST_F(IniReading, FollowsTheProfileStringRules) {
    DialogRecorder dialogs;
    struct Case {
        const char* section;
        const char* key;
        QString value;
    };
    const Case cases[] = {
        {"Configuracoes", "Servidor", QStringLiteral("SRV01")},   // first match, blanks ignored
        {"CONFIGURACOES", "SERVIDOR", QStringLiteral("SRV01")},   // without regard to case
        {"configuracoes", "NumPDV", QStringLiteral("7")},         // the first section of the name
        {"Configuracoes", "Citado", QStringLiteral("com aspas")}, // matching quotes dropped
        {"Configuracoes", "Acento", QStringLiteral("São João")},  // Windows-1252 text
        {"Configuracoes", "Falta", QStringLiteral("padrao")},     // missing key
        {"Inexistente", "Servidor", QStringLiteral("padrao")},    // missing section
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(LeIniStr(path(), QString::fromUtf8(c.section), QString::fromUtf8(c.key),
                           QStringLiteral("padrao")),
                  c.value);
    }
    EXPECT_EQ(LeIniStr(path(), QStringLiteral("Configuracoes"), QStringLiteral("Longo"), QString()),
              QString(2047, u'x'));
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(IniReading, MissingFileWarnsAndGivesTheDefault) {
    DialogRecorder dialogs;
    const QString missing = dir.filePath(QStringLiteral("PDVNutrava.INI"));
    EXPECT_EQ(
        LeIniStr(missing, QStringLiteral("Configuracoes"), QStringLiteral("NumPDV"), QStringLiteral("0")),
        QStringLiteral("0"));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0],
              (ShownDialog{dialogs::Kind::Warning, QStringLiteral("Arquivo Inexistente: \n") + missing}));
}

TEST(Numbers, DecimalOnlyForAddressesAndPorts) {
    struct Case {
        const char* text;
        std::optional<int32_t> value;
    };
    for (const Case& c :
         {Case{"8080", 8080}, Case{" 8080 ", 8080}, Case{"+7", 7}, Case{"-1", -1}, Case{"0010", 10},
          Case{"2147483647", 2147483647}, Case{"2147483648", {}}, Case{"99999999999999999999", {}},
          Case{"$1F90", {}}, Case{"0x1F90", {}}, Case{"1e3", {}}, Case{"", {}}, Case{" ", {}}, Case{"+", {}},
          Case{"12 3", {}}, Case{"\u0661\u0662", {}}, Case{"\uFF11", {}}}) {
        SCOPED_TRACE(c.text);
        std::optional<int32_t> got;
        try {
            got = StrToIntDec(QString::fromUtf8(c.text));
        } catch (const EConvertError&) {
        }
        EXPECT_EQ(got, c.value);
    }
}
