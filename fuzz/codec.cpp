// The frame codec and the reading of a card-read request: what the program sends and what it
// takes from a controller's frame.
#include "turnstile/codec.h"
#include "check.h"

namespace {
constexpr qsizetype kMaxText = 65535;

// The frame of a text unwraps to the same text, and its header and trailer are what they say.
void frameRoundTrip(const QString& text) {
    TByteArray frame;
    stringToBytes(text, frame);
    const auto n = static_cast<size_t>(text.size());
    FUZZ_CHECK(frame.size() == n + 5);
    FUZZ_CHECK(frame.front() == 0x02 && frame.back() == 0x03);
    FUZZ_CHECK((frame[1] | frame[2] << 8) == static_cast<int>(n));
    uint8_t checksum = frame[1] ^ frame[2];
    for (size_t i = 0; i < n; ++i)
        checksum ^= frame[3 + i];
    FUZZ_CHECK(frame[n + 3] == checksum);
    const QByteArray bytes(reinterpret_cast<const char*>(frame.data()), static_cast<qsizetype>(frame.size()));
    FUZZ_CHECK(unwrapFrame(bytes) == text);
}

// The comanda of any text holds no "]" and lies between the text's first two.
void comandaOf(const QString& text) {
    const QString comanda = extractComanda(text);
    FUZZ_CHECK(!comanda.contains(u']'));
    const qsizetype first = text.indexOf(u']');
    if (first >= 0 && text.indexOf(u']', first + 1) >= 0)
        FUZZ_CHECK(text.mid(first + 1, comanda.size() + 1) == comanda + u']');
    else
        FUZZ_CHECK(comanda.isEmpty());
}

// A request built for a comanda is recognised, through its frame, and gives the comanda back.
void requestRoundTrip(QString comanda) {
    comanda.remove(u']');
    TByteArray frame;
    stringToBytes(cardReadRequest(comanda), frame);
    const QString text = unwrapFrame(
        QByteArray(reinterpret_cast<const char*>(frame.data()), static_cast<qsizetype>(frame.size())));
    FUZZ_CHECK(isCardReadRequest(text));
    FUZZ_CHECK(extractComanda(text) == comanda);
}

// What a pane shows of a text is bounded and holds no control character.
void shown(const QString& text) {
    const QString line = displayText(text);
    const QString rest = QStringLiteral("... (+%1)").arg(text.size());
    FUZZ_CHECK(line.size() <= kDisplayLength + 3 + rest.size());
    for (QChar c : line)
        FUZZ_CHECK(c.unicode() >= 0x20 && (c.unicode() < 0x7F || c.unicode() >= 0xA0));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    // The text may be repeated up to the longest a frame's length field can carry.
    const bool stretch = input.ConsumeBool();
    const auto length = input.ConsumeIntegralInRange<qsizetype>(0, kMaxText);
    const std::string bytes = input.ConsumeRemainingBytesAsString();
    QString text = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (stretch && !text.isEmpty() && length > text.size())
        text = text.repeated(length / text.size()).left(length);
    text.truncate(kMaxText);

    frameRoundTrip(text);
    comandaOf(text);
    requestRoundTrip(text.left(64));
    shown(text);
    return 0;
}
