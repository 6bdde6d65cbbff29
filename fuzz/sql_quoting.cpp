// Values in statement texts: a quoted text reads back as the value, and no value, whatever it
// holds, ends its literal early and adds to the statement.
#include "check.h"
#include "database/sqltext.h"
#include "rules/AccessStatements.h"

#include <QStringList>

namespace {
// A statement text split the way the server reads it: the literals between quotes (a doubled
// quote standing for one) and the text outside them. Nothing when a literal is left open.
struct Statement {
    QString outside;
    QStringList literals;
    bool operator==(const Statement&) const = default;
};

std::optional<Statement> scan(const QString& text) {
    Statement statement;
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i] != u'\'') {
            statement.outside += text[i++];
            continue;
        }
        QString literal;
        for (++i;; ++i) {
            if (i == text.size()) return std::nullopt;
            if (text[i] != u'\'') {
                literal += text[i];
            } else if (i + 1 < text.size() && text[i + 1] == u'\'') {
                literal += u'\'';
                ++i;
            } else {
                break;
            }
        }
        ++i;
        statement.outside += u'?';
        statement.literals << literal;
    }
    return statement;
}

void quotedReadsBack(const QString& value) {
    const QString text = sql::quoted(value);
    FUZZ_CHECK(text.size() >= 2 && text.front() == u'\'' && text.back() == u'\'');
    const auto statement = scan(text);
    FUZZ_CHECK(statement.has_value());
    FUZZ_CHECK(statement->outside == QStringLiteral("?"));
    FUZZ_CHECK(statement->literals == QStringList{value});
}

// The statement built with the value has the same shape as with a plain one, the value in the
// place of the plain one.
template <typename Build> void inStatement(const QString& value, Build build) {
    const QString plain = QStringLiteral("100001");
    const auto with = scan(build(value));
    auto expected = scan(build(plain));
    FUZZ_CHECK(with.has_value() && expected.has_value());
    expected->literals.replace(expected->literals.indexOf(plain), value);
    FUZZ_CHECK(*with == *expected);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString value = fuzz::utf8(std::string(reinterpret_cast<const char*>(data), size));
    quotedReadsBack(value);

    const QDateTime from(QDate(2024, 1, 2), QTime(0, 0));
    const QDateTime to(QDate(2024, 1, 3), QTime(0, 0));
    inStatement(value, [](const QString& v) { return regras::sqlExisteComanda(v); });
    inStatement(value, [&](const QString& v) { return regras::sqlSubtotalItensAbertos(from, to, v); });
    inStatement(value, [&](const QString& v) { return regras::sqlVendaAberta(from, to, v); });
    inStatement(value, [&](const QString& v) {
        return regras::sqlContagemVendasAbertas(from, to, regras::sqlFiltroChip(), v);
    });
    return 0;
}
