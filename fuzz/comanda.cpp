// Comanda normalisation: a comanda read as a number becomes a short number text in general
// form that reads back as itself; any other stays as it came.
#include "rules/comanda.h"
#include "check.h"

#include <QLocale>

namespace {
// The longest general form: sign, 15 digits, separator, "E", exponent sign and three digits.
constexpr qsizetype kMaxNumberText = 1 + 15 + 1 + 1 + 1 + 3;

bool numberCharacters(const QString& text, QChar separator) {
    for (QChar c : text)
        if (!((c >= u'0' && c <= u'9') || c == u'-' || c == u'E' || c == separator)) return false;
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    static const QLocale locales[] = {QLocale(QLocale::Portuguese, QLocale::Brazil), QLocale::c()};
    QLocale::setDefault(input.PickValueInArray(locales));
    const QChar separator = QLocale().decimalPoint().front();
    const QString comanda = fuzz::utf8(input.ConsumeRemainingBytesAsString());

    const QString normal = regras::normalizarComanda(comanda);
    if (!regras::lerNumero(comanda)) {
        FUZZ_CHECK(normal == comanda);
        return 0;
    }
    FUZZ_CHECK(!normal.isEmpty() && normal.size() <= kMaxNumberText);
    FUZZ_CHECK(numberCharacters(normal, separator));
    // Fifteen significant digits survive a reading back.
    FUZZ_CHECK(regras::lerNumero(normal).has_value());
    FUZZ_CHECK(regras::normalizarComanda(normal) == normal);
    return 0;
}
