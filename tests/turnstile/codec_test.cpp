#include "turnstile/FrameAssembler.h"
#include "turnstile/codec.h"

#include <QList>
#include <gtest/gtest.h>

namespace {
TByteArray frame(const QString& text) {
    TByteArray bytes;
    stringToBytes(text, bytes);
    return bytes;
}

TByteArray wrapped(uint8_t first, uint8_t second, uint8_t third, const std::string& payload, uint8_t checksum,
                   uint8_t last) {
    TByteArray bytes{first, second, third};
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    bytes.push_back(checksum);
    bytes.push_back(last);
    return bytes;
}

QByteArray asRead(const TByteArray& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}
} // namespace

TEST(FrameBuilding, KnownFrames) {
    EXPECT_EQ(frame(QStringLiteral("abc")), (TByteArray{0x02, 0x03, 0x00, 0x61, 0x62, 0x63, 0x63, 0x03}));
    EXPECT_EQ(frame(QString()), (TByteArray{0x02, 0x00, 0x00, 0x00, 0x03}));

    struct Reply {
        QString text;
        size_t size;
        uint8_t length;
        uint8_t checksum;
    };
    for (const Reply& r : {Reply{kRespostaLiberado, 37, 0x20, 0x67}, Reply{kRespostaNegado, 36, 0x1F, 0x51},
                           Reply{kRespostaSemCadastro, 43, 0x26, 0x6B}}) {
        SCOPED_TRACE(r.text.toStdString());
        const TByteArray bytes = frame(r.text);
        const std::string payload = r.text.toStdString();
        EXPECT_EQ(bytes.size(), r.size);
        EXPECT_EQ(bytes, wrapped(0x02, r.length, 0x00, payload, r.checksum, 0x03));
    }
}

TEST(FrameBuilding, LongTextCarriesHighLengthByteIntoChecksum) {
    const QString text(300, u'A'); // 300 = 0x012C
    const TByteArray bytes = frame(text);
    ASSERT_EQ(bytes.size(), 305u);
    EXPECT_EQ(bytes[1], 0x2C);
    EXPECT_EQ(bytes[2], 0x01);
    // 300 times 'A' XORs to zero; only the length bytes remain.
    EXPECT_EQ(bytes[303], 0x2C ^ 0x01);
    EXPECT_EQ(bytes[304], 0x03);
}

TEST(FrameBuilding, CharactersGoOutAsTheirLowByte) {
    const TByteArray bytes = frame(QString(QChar(0xE9)) + QChar(0x20AC)); // é and the euro sign
    EXPECT_EQ(bytes, (TByteArray{0x02, 0x02, 0x00, 0xE9, 0xAC, 0xE9 ^ 0xAC ^ 0x02, 0x03}));
}

TEST(FrameUnwrapping, TakesTheBytesBetweenHeaderAndTrailer) {
    EXPECT_EQ(unwrapFrame(QByteArray()), QString());
    EXPECT_EQ(unwrapFrame(QByteArray("\x02\x01\x00\x41\x03", 5)), QString());
    EXPECT_EQ(unwrapFrame(QByteArray("\x02\x01\x00\x41\x41\x03", 6)), QStringLiteral("A"));
    // Nothing of the frame is checked: wrong start, length, checksum and end byte.
    EXPECT_EQ(unwrapFrame(QByteArray("XYZhello!?")), QStringLiteral("hello"));
    EXPECT_EQ(unwrapFrame(asRead(frame(kRespostaNegado))), kRespostaNegado);
    EXPECT_EQ(unwrapFrame(QByteArray("\x02\x01\x00\xE9\x00\x03", 6)), QString(QChar(0xE9)));
}

TEST(CardReadRequest, RecognitionAndComanda) {
    struct Case {
        QString text;
        bool request;
        QString comanda;
    };
    const Case cases[] = {
        {QStringLiteral("01+REON+000+0]4711]x]"), true, QStringLiteral("4711")},
        {QStringLiteral("XY+REON+000+0]4711]"), true, QStringLiteral("4711")},
        {QStringLiteral("01+REON+000+0]4711"), true, QString()},
        {QStringLiteral("01+REON+000+0"), true, QString()},
        {QStringLiteral("]1+REON+000+0]4711]"), true, QStringLiteral("1+REON+000+0")},
        {QStringLiteral("01+reon+000+0]4711]"), false, {}},
        {QStringLiteral("01+REON+00+0]4711]"), false, {}},
        {QStringLiteral("01+REON+000+"), false, {}},
        {QString(), false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(isCardReadRequest(c.text), c.request);
        if (c.request) {
            EXPECT_EQ(extractComanda(c.text), c.comanda);
        }
    }
}

TEST(CardReadRequest, ControllerRequestRoundTrips) {
    const QString text = cardReadRequest(QStringLiteral("123"));
    EXPECT_EQ(text, QStringLiteral("01+REON+000+0]123]"));
    EXPECT_EQ(unwrapFrame(asRead(frame(text))), text);
}

TEST(FrameAssembly, BytesOfSuccessiveReadsBecomeWholeFrames) {
    const QByteArray a = asRead(frame(cardReadRequest(QStringLiteral("123"))));
    const QByteArray b = asRead(frame(cardReadRequest(QStringLiteral("4711"))));
    const QByteArray longest = asRead(frame(QString(FrameAssembler::kMaxPayload, u'x')));
    struct Case {
        const char* name;
        QList<QByteArray> reads;
        QList<QByteArray> frames;
        QByteArray dropped;
        qsizetype pending;
    };
    const Case cases[] = {
        {"one frame", {a}, {a}, {}, 0},
        {"split anywhere", {a.left(1), a.mid(1, 2), a.mid(3, 5), a.mid(8)}, {a}, {}, 0},
        {"two in one read", {a + b}, {a, b}, {}, 0},
        {"second one half there", {a + b.left(4)}, {a}, {}, 4},
        {"noise before", {QByteArray("\r\nxy") + a}, {a}, QByteArray("\r\nxy"), 0},
        {"end byte not where the length puts it",
         {QByteArray("\x02\x01\x00\x41\x03", 5) + b},
         {b},
         QByteArray("\x02\x01\x00\x41\x03", 5),
         0},
        {"length beyond any frame",
         {QByteArray("\x02\xff\xff", 3) + a},
         {a},
         QByteArray("\x02\xff\xff", 3),
         0},
        {"a stray start byte does not hold the frames behind it",
         {QByteArray("\x02\x10\x01", 3) + a + b},
         {a, b},
         QByteArray("\x02\x10\x01", 3),
         0},
        {"nor when they come in a later read",
         {QByteArray("\x02\x10\x01", 3), a.left(5), a.mid(5)},
         {a},
         QByteArray("\x02\x10\x01", 3),
         0},
        {"a start byte with half a header, then a frame",
         {QByteArray("\x02\x10", 2), a},
         {a},
         QByteArray("\x02\x10", 2),
         0},
        {"the longest frame", {longest}, {longest}, {}, 0},
        {"empty payload",
         {QByteArray("\x02\x00\x00\x00\x03", 5)},
         {QByteArray("\x02\x00\x00\x00\x03", 5)},
         {},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FrameAssembler assembler;
        for (const QByteArray& read : c.reads)
            assembler.append(read);
        const std::vector<QByteArray> frames = assembler.takeFrames();
        EXPECT_EQ(QList<QByteArray>(frames.begin(), frames.end()), c.frames);
        EXPECT_EQ(assembler.takeDropped(), c.dropped);
        EXPECT_EQ(assembler.pendingBytes(), c.pending);
        EXPECT_FALSE(assembler.hasFrames());
    }
}

TEST(FrameAssembly, MemoryStaysBoundedWhateverArrives) {
    const QByteArray a = asRead(frame(cardReadRequest(QStringLiteral("123"))));
    const QByteArray endless = QByteArray("\x02\x00\x02", 3) + QByteArray(1 << 20, '9');
    for (const QByteArray& flood : {QByteArray(1 << 20, 'A'), QByteArray(1 << 20, '\x02'), endless}) {
        FrameAssembler assembler;
        for (int i = 0; i < 8; ++i)
            assembler.append(flood);
        EXPECT_LE(assembler.pendingBytes(), FrameAssembler::kMaxPayload + 5);
        qsizetype count = 0;
        EXPECT_LE(assembler.takeDropped(&count).size(), FrameAssembler::kMaxDroppedSample);
        EXPECT_GT(count, 7 * (1 << 20));
        // A frame after the flood is still found.
        assembler.append(QByteArray(600, 'z') + a);
        const std::vector<QByteArray> frames = assembler.takeFrames();
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0], a);
    }
    // Frames nobody takes: only the newest are kept, the others counted.
    FrameAssembler assembler;
    for (int i = 0; i < 100; ++i)
        assembler.append(a);
    EXPECT_EQ(assembler.takeFrames().size(), FrameAssembler::kMaxWaiting);
    EXPECT_EQ(assembler.takeOverflow(), 100 - static_cast<qsizetype>(FrameAssembler::kMaxWaiting));
}

TEST(PaneText, ControlBytesEscapedAndLongTextsCut) {
    EXPECT_EQ(displayText(QStringLiteral("01+REON+000+0]123]")), QStringLiteral("01+REON+000+0]123]"));
    EXPECT_EQ(displayText(QString::fromLatin1("a\x02\x7f\x85\xe9\n", 6)),
              QStringLiteral("a\\x02\\x7F\\x85é\\x0A"));
    const QString shown = displayText(QString(1000, u'\x01'));
    EXPECT_LE(shown.size(), kDisplayLength + 20);
    EXPECT_TRUE(shown.endsWith(QStringLiteral("... (+960)")));
}
