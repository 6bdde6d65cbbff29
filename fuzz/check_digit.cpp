// The check digit of a card code: a digit for any digit string, one that catches any single
// wrong digit; any other text is refused with EConvertError, never a crash.
#include "cards/checkdigit.h"
#include "check.h"
#include "platform/failure.h"

namespace {
constexpr qsizetype kLongestCode = 40;

bool digits(const QString& text) {
    for (QChar c : text)
        if (c < u'0' || c > u'9') return false;
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const bool last = input.ConsumeBool();
    const QString code = fuzz::utf8(input.ConsumeRemainingBytesAsString());
    const int32_t sub = last ? 1 : 0;

    int32_t digit = 0;
    try {
        digit = DigitoVerificador(code, sub);
    } catch (const EConvertError&) {
        FUZZ_CHECK(!digits(code.left(code.size() - sub)));
        return 0;
    }
    FUZZ_CHECK(digit >= 0 && digit <= 9);
    // Every digit changed in turn: quadratic, so on card-sized codes only.
    if (!digits(code) || code.size() > kLongestCode) return 0;

    const QString body = code.left(code.size() - sub);
    const QString full = body + QString::number(DigitoVerificador(body, 0));
    FUZZ_CHECK(CodigoComDigitoCorreto(full));
    for (qsizetype i = 0; i < body.size(); ++i) {
        QString wrong = full;
        wrong[i] = QChar(u'0' + (wrong[i].unicode() - u'0' + 1) % 10);
        FUZZ_CHECK(!CodigoComDigitoCorreto(wrong));
    }
    try {
        CodigoComDigitoCorreto(code);
    } catch (const EConvertError&) {
        FUZZ_CHECK(code.isEmpty());
    }
    return 0;
}
