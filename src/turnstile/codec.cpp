#include "turnstile/codec.h"

#include <algorithm>

namespace {
constexpr uint8_t kStx = 0x02;
constexpr uint8_t kEtx = 0x03;
const QString kRequestMark = QStringLiteral("+REON+000+0");
} // namespace

void stringToBytes(const QString& pPackage, TByteArray& Result) {
    size_t index = 0;
    // Lengthens the frame by one zero byte and moves the write position on.
    auto NextByte = [](TByteArray& pByteArray, size_t& idx) {
        pByteArray.push_back(0);
        ++idx;
    };
    const auto n = static_cast<uint32_t>(pPackage.size());
    const auto lengthLow = static_cast<uint8_t>(n & 0xFF);
    const auto lengthHigh = static_cast<uint8_t>((n >> 8) & 0xFF);

    Result.assign(1, 0);
    Result[index] = kStx;
    NextByte(Result, index);
    Result[index] = lengthLow;
    NextByte(Result, index);
    Result[index] = lengthHigh;
    NextByte(Result, index);
    uint8_t checksum = 0;
    for (QChar c : pPackage) {
        const auto byte = static_cast<uint8_t>(c.unicode() & 0xFF);
        checksum ^= byte;
        Result[index] = byte;
        NextByte(Result, index);
    }
    checksum ^= lengthLow;
    checksum ^= lengthHigh;
    Result[index] = checksum;
    NextByte(Result, index);
    Result[index] = kEtx;
}

QString unwrapFrame(const QByteArray& bytes) {
    if (bytes.size() < 6) return {};
    return QString::fromLatin1(bytes.mid(3, bytes.size() - 5));
}

bool isCardReadRequest(const QString& text) {
    return text.size() >= 13 && text.mid(2, 11) == kRequestMark;
}

QString extractComanda(const QString& text) {
    const qsizetype first = text.indexOf(u']');
    if (first < 0) return {};
    const qsizetype second = text.indexOf(u']', first + 1);
    if (second < 0) return {};
    return text.mid(first + 1, second - first - 1);
}

QString cardReadRequest(const QString& comanda) {
    return QStringLiteral("01") + kRequestMark + u']' + comanda + u']';
}

QString displayText(const QString& text) {
    QString shown;
    qsizetype i = 0;
    for (; i < text.size() && shown.size() < kDisplayLength; ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x20 || (c >= 0x7F && c < 0xA0))
            shown += QStringLiteral("\\x") + QString::number(c, 16).toUpper().rightJustified(2, u'0');
        else
            shown += text[i];
    }
    if (i < text.size()) shown += QStringLiteral("... (+%1)").arg(text.size() - i);
    return shown;
}
