#include "turnstile/ipcheck.h"

#include "platform/convert.h"
#include "platform/failure.h"

namespace {
bool blank(const QString& s, qsizetype i) {
    return i < s.size() && s[i].unicode() >= 1 && s[i].unicode() <= 32;
}

// A quoted item: up to the closing quote, a doubled quote standing for one.
QString quotedItem(const QString& s, qsizetype& i) {
    QString item;
    ++i;
    while (i < s.size()) {
        if (s[i] == u'"') {
            if (i + 1 < s.size() && s[i + 1] == u'"') {
                item += u'"';
                i += 2;
                continue;
            }
            ++i;
            break;
        }
        item += s[i++];
    }
    return item;
}
} // namespace

void Split(QChar Delimiter, const QString& Input, QStringList& Strings) {
    Strings.clear();
    qsizetype i = 0;
    while (blank(Input, i))
        ++i;
    while (i < Input.size() && Input[i] != QChar(0)) {
        if (Input[i] == u'"') {
            Strings << quotedItem(Input, i);
        } else {
            const qsizetype start = i;
            while (i < Input.size() && Input[i].unicode() > 32 && Input[i] != Delimiter)
                ++i;
            Strings << Input.mid(start, i - start);
        }
        while (blank(Input, i))
            ++i;
        if (i < Input.size() && Input[i] == Delimiter) {
            if (i + 1 == Input.size()) Strings << QString();
            do {
                ++i;
            } while (blank(Input, i));
        }
    }
}

bool fncIsIP(const QString& pIP) {
    QStringList parts;
    Split(u'.', pIP, parts);
    for (const QString& part : parts) {
        // Decimal digits only: "0x7F" or "$7F" would reach another controller than the one
        // the row names.
        try {
            if (StrToIntDec(part) > 255) return false;
        } catch (const EConvertError&) {
            return false;
        }
    }
    return true;
}
