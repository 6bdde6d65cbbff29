// Text to and from the bytes of the program's text files.
#include "platform/textfile.h"
#include "side.h"

#include <gtest/gtest.h>

namespace {
struct Case {
    const char* name;
    std::u16string text;
    std::string bytes;
};

const Case kCases[] = {
    {"empty", u"", ""},
    {"ASCII", u"Sistema Iniciado.", "Sistema Iniciado."},
    {"Portuguese letters", u"Não foi possível: Código, ação",
     "N\xE3o foi poss\xEDvel: C\xF3"
     "digo, a\xE7\xE3o"},
    {"the 0x80-0x9F range", u"€‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ",
     "\x80\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8E\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C"
     "\x9E"
     "\x9F"},
    {"control characters and line ends", u"\t\r\n\x01", "\t\r\n\x01"},
};
} // namespace

TEST(CodePage, TheAnsiCodePageIsWindows1252) {
    ASSERT_EQ(side::ansiCodePage(), 1252u);
}

TEST(CodePage, TextAndBytesBothWays) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(platform::toCp1252(c.text), c.bytes);
        EXPECT_EQ(platform::fromCp1252(c.bytes), c.text);
    }
}

TEST(CodePage, EveryByteComesBackUnchanged) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const std::u16string text = platform::fromCp1252(all);
    ASSERT_EQ(text.size(), all.size());
    EXPECT_EQ(platform::toCp1252(text), all);
}

// One "?" per UTF-16 unit the code page cannot hold, and never a look-alike letter.
TEST(CodePage, WhatTheCodePageLacksBecomesAQuestionMark) {
    const struct {
        const char* name;
        std::u16string text;
        std::string bytes;
    } cases[] = {
        {"Latin letter with a look-alike", u"Āā", "??"},
        {"Greek and Cyrillic", u"αЖ", "??"},
        {"a character outside the basic plane, two units", u"a😀b", "a??b"},
        {"a lone surrogate", std::u16string(1, char16_t(0xD800)), "?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(platform::toCp1252(c.text), c.bytes);
    }
}
