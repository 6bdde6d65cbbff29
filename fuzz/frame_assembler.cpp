// The receive buffer's frame assembly: the same frames however the bytes arrive, every frame
// well formed, memory bounded, and a sound frame found again after any garbage.
#include "check.h"
#include "turnstile/FrameAssembler.h"
#include "turnstile/codec.h"

#include <map>

namespace {
constexpr qsizetype kMaxFrame = FrameAssembler::kMaxPayload + 5;

void checkFrame(const QByteArray& frame) {
    FUZZ_CHECK(frame.size() >= 5);
    FUZZ_CHECK(frame.front() == 0x02 && frame.back() == 0x03);
    const qsizetype length = static_cast<uint8_t>(frame[1]) | static_cast<uint8_t>(frame[2]) << 8;
    FUZZ_CHECK(length == frame.size() - 5);
    FUZZ_CHECK(length <= FrameAssembler::kMaxPayload);
}

// Everything one way of feeding gave: the frames by their place in the stream (older frames
// lost to newer ones leave gaps), and the counts of frames, dropped and frame bytes.
struct Outcome {
    std::map<qsizetype, QByteArray> frames;
    qsizetype count = 0;
    qsizetype lost = 0;
    qsizetype dropped = 0;
    qsizetype frameBytes = 0;
};

void take(FrameAssembler& assembler, Outcome& outcome) {
    FUZZ_CHECK(assembler.pendingBytes() <= kMaxFrame);
    const qsizetype lost = assembler.takeOverflow();
    outcome.count += lost;
    outcome.lost += lost;
    for (QByteArray& frame : assembler.takeFrames()) {
        checkFrame(frame);
        outcome.frameBytes += frame.size();
        outcome.frames.emplace(outcome.count++, std::move(frame));
    }
    qsizetype dropped = 0;
    FUZZ_CHECK(assembler.takeDropped(&dropped).size() <= FrameAssembler::kMaxDroppedSample);
    outcome.dropped += dropped;
}

// Every byte fed is dropped, in a frame or still held.
void checkAccounted(const Outcome& outcome, const FrameAssembler& assembler, qsizetype fed) {
    if (outcome.lost == 0) FUZZ_CHECK(outcome.dropped + outcome.frameBytes + assembler.pendingBytes() == fed);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    std::vector<size_t> cuts(input.ConsumeIntegralInRange<size_t>(0, 16));
    for (size_t& cut : cuts)
        cut = input.ConsumeIntegralInRange<size_t>(0, 600);
    std::string payload = input.ConsumeRandomLengthString(FrameAssembler::kMaxPayload);
    const std::string stream = input.ConsumeRemainingBytesAsString();
    const QByteArrayView bytes(stream.data(), static_cast<qsizetype>(stream.size()));

    FrameAssembler whole;
    Outcome wholeOutcome;
    whole.append(bytes);
    take(whole, wholeOutcome);
    checkAccounted(wholeOutcome, whole, bytes.size());

    FrameAssembler split;
    Outcome splitOutcome;
    QByteArrayView rest = bytes;
    for (size_t cut : cuts) {
        const auto n = std::min(static_cast<qsizetype>(cut), rest.size());
        split.append(rest.first(n));
        take(split, splitOutcome);
        rest = rest.sliced(n);
    }
    split.append(rest);
    take(split, splitOutcome);
    checkAccounted(splitOutcome, split, bytes.size());

    FUZZ_CHECK(wholeOutcome.count == splitOutcome.count);
    for (const auto& [place, frame] : wholeOutcome.frames) {
        const auto other = splitOutcome.frames.find(place);
        if (other != splitOutcome.frames.end()) FUZZ_CHECK(other->second == frame);
    }
    FUZZ_CHECK(whole.pendingBytes() == split.pendingBytes());
    FUZZ_CHECK(wholeOutcome.dropped == splitOutcome.dropped);

    // A frame's worth of bytes without a start byte settles whatever the garbage began; the
    // sound frame after it is then taken whole, and nothing is left held. Unless a start byte
    // stands inside it (in its length, payload or checksum): a whole frame inside another is
    // complete first and wins.
    whole.append(QByteArray(kMaxFrame, '\0'));
    take(whole, wholeOutcome);
    FUZZ_CHECK(whole.pendingBytes() == 0);
    TByteArray sound;
    stringToBytes(QString::fromLatin1(payload.data(), static_cast<qsizetype>(payload.size())), sound);
    const QByteArray expected(reinterpret_cast<const char*>(sound.data()),
                              static_cast<qsizetype>(sound.size()));
    if (expected.indexOf('\x02', 1) >= 0) return 0;
    whole.append(expected);
    const std::vector<QByteArray> frames = whole.takeFrames();
    FUZZ_CHECK(frames.size() == 1 && frames.front() == expected);
    FUZZ_CHECK(whole.pendingBytes() == 0);
    return 0;
}
