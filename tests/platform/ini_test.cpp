// INI lookup with the rules of the profile-string service, as the suite's settings need it.
#include "platform/inifile.h"
#include "platform/textfile.h"
#include "side.h"

#include <gtest/gtest.h>
#include <optional>

namespace {
struct Case {
    const char* name;
    std::string file; // Windows-1252 bytes
    std::u16string section, key;
    std::optional<std::u16string> value;
    // Wine's profile-string service folds the case of ASCII letters only, so it finds no such
    // value where Windows does.
    bool missingUnderWine = false;
};

const std::string kSuite = "; settings of the suite\r\n"
                           "[Configuracoes]\r\n"
                           "NumPDV=7\r\n"
                           "Servidor = SRV01 \r\n"
                           "\r\n"
                           "[Outra]\r\n"
                           "NumPDV=8\r\n";

const Case kCases[] = {
    {"as written", kSuite, u"Configuracoes", u"NumPDV", u"7"},
    {"section and key in other case", kSuite, u"CONFIGURACOES", u"numpdv", u"7"},
    {"blanks around the value", kSuite, u"configuracoes", u"Servidor", u"SRV01"},
    {"the key of another section", kSuite, u"Outra", u"NumPDV", u"8"},
    {"missing key", kSuite, u"Configuracoes", u"Porta", std::nullopt},
    {"missing section", kSuite, u"Geral", u"NumPDV", std::nullopt},
    {"a comment line is no key", "[S]\r\n;k=1\r\n", u"S", u"k", std::nullopt},
    {"letters outside ASCII as written", "[Se\xE7\xE3o]\r\nChav\xC9=\xE9\r\n", u"Seção", u"ChavÉ", u"é"},
    {"letters outside ASCII in other case", "[Se\xE7\xE3o]\r\nChav\xC9=\xE9\r\n", u"SEÇÃO", u"chavé", u"é",
     true},
    {"blanks around the key", "[S]\r\n   Num PDV   =3\r\n", u"S", u"Num PDV", u"3"},
    {"an empty value is a value", "[S]\r\nk=\r\n", u"S", u"k", u""},
    {"a value in double quotes", "[S]\r\nk=\" a b \"\r\n", u"S", u"k", u" a b "},
    {"a value in single quotes", "[S]\r\nk='x'\r\n", u"S", u"k", u"x"},
    {"quotes that do not match", "[S]\r\nk=\"x'\r\n", u"S", u"k", u"\"x'"},
    {"an equals sign in the value", "[S]\r\nk=a=b\r\n", u"S", u"k", u"a=b"},
    {"a semicolon inside the value", "[S]\r\nk=v ;c\r\n", u"S", u"k", u"v ;c"},
    {"the first of two keys", "[S]\r\nk=1\r\nK=2\r\n", u"S", u"k", u"1"},
    {"only the first of two sections", "[S]\r\na=1\r\n[s]\r\nb=2\r\n", u"S", u"b", std::nullopt},
    {"line feeds alone", "[S]\nk=v\n", u"S", u"k", u"v"},
    {"no line end at the end", "[S]\r\nk=v", u"S", u"k", u"v"},
    {"lines without equals sign", "[S]\r\nx\r\nk=v\r\n", u"S", u"k", u"v"},
    {"a key without equals sign hides a later one", "[S]\r\n  k  \r\nk=v\r\n", u"S", u"k", std::nullopt},
    {"control characters", "[S]\r\nk=\x01\r\n", u"S", u"k", u"\x01"},
    {"the value cut at 2,047 characters", "[S]\r\nk=" + std::string(3000, 'x') + "\r\n", u"S", u"k",
     std::u16string(platform::kIniValueLimit, u'x')},
    {"a value of exactly 2,047 characters", "[S]\r\nk=" + std::string(2047, 'y') + "\r\n", u"S", u"k",
     std::u16string(2047, u'y')},
};
} // namespace

TEST(IniFile, LookupRules) {
    side::WorkFolder work;
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        work.write("Nutrava.Ini", c.file);
        const auto value = platform::readIniValue(work.path("Nutrava.Ini"), c.section, c.key);
        EXPECT_EQ(value, c.missingUnderWine && side::underWine() ? std::nullopt : c.value);
    }
}

TEST(IniFile, MissingFileAndRelativePath) {
    side::WorkFolder work;
    EXPECT_FALSE(platform::readIniValue(work.path("missing.ini"), u"Configuracoes", u"NumPDV"));
    work.makeFolder("a folder.ini");
    EXPECT_FALSE(platform::readIniValue(work.path("a folder.ini"), u"Configuracoes", u"NumPDV"));

    // A name without a folder is the file in the working directory, as for every other file.
    work.write("PDVNutrava.INI", kSuite);
    side::WorkingDirectory inside(work.root());
    EXPECT_EQ(platform::readIniValue("PDVNutrava.INI", u"Configuracoes", u"NumPDV"),
              std::optional<std::u16string>(u"7"));
}
