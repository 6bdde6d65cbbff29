#include "turnstile/FrameAssembler.h"

#include "turnstile/codec.h"

#include <algorithm>
#include <utility>

namespace {
constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;
constexpr qsizetype kHeader = 3;
constexpr qsizetype kTrailer = 2;

// The length a frame starting at pos declares; -1 when its header is not all there.
qsizetype declaredLength(QByteArrayView held, qsizetype pos) {
    if (held.size() - pos < kHeader) return -1;
    return static_cast<uint8_t>(held[pos + 1]) | (static_cast<uint8_t>(held[pos + 2]) << 8);
}

// Where a frame starting at pos ends, when it is all there and well formed; -1 otherwise.
qsizetype completeFrameEnd(QByteArrayView held, qsizetype pos) {
    const qsizetype length = declaredLength(held, pos);
    if (length < 0 || length > FrameAssembler::kMaxPayload) return -1;
    const qsizetype end = pos + kHeader + length + kTrailer;
    return end <= held.size() && held[end - 1] == kEtx ? end : -1;
}

// Of the complete frames starting after pos and ending by limit, where the one that ends first
// starts; -1 when there is none.
qsizetype firstEndingFrame(QByteArrayView held, qsizetype pos, qsizetype limit) {
    qsizetype found = -1;
    qsizetype foundEnd = limit + 1;
    for (qsizetype start = held.indexOf(kStx, pos + 1); start >= 0 && start < foundEnd;
         start = held.indexOf(kStx, start + 1)) {
        const qsizetype end = completeFrameEnd(held, start);
        if (end >= 0 && end < foundEnd) {
            found = start;
            foundEnd = end;
        }
    }
    return found;
}
} // namespace

void FrameAssembler::append(QByteArrayView bytes) {
    while (!bytes.empty()) {
        if (pending_.isEmpty()) {
            // Bytes before a start byte are dropped before they are stored, so a flood of them
            // never grows the buffer.
            const qsizetype start = bytes.indexOf(kStx);
            noteDropped(start < 0 ? bytes : bytes.first(start));
            if (start < 0) return;
            bytes = bytes.sliced(start);
        }
        // Never hold more than one frame's worth: the rest waits in the caller's view.
        const qsizetype take = std::min(kHeader + kMaxPayload + kTrailer - pending_.size(), bytes.size());
        pending_.append(bytes.first(take));
        bytes = bytes.sliced(take);
        extract();
    }
}

void FrameAssembler::extract() {
    const QByteArrayView held(pending_);
    qsizetype pos = 0;
    for (;;) {
        const qsizetype start = held.indexOf(kStx, pos);
        noteDropped(held.sliced(pos, (start < 0 ? held.size() : start) - pos));
        if (start < 0) {
            pos = held.size();
            break;
        }
        pos = start;
        const qsizetype length = declaredLength(held, pos);
        const qsizetype size = kHeader + length + kTrailer;
        const bool complete = length >= 0 && held.size() - pos >= size;
        if (length > kMaxPayload || (complete && held[pos + size - 1] != kEtx)) {
            // Not a frame after all: its start byte is dropped and the search goes on.
            noteDropped(held.sliced(pos++, 1));
            continue;
        }
        // The frame that is complete first wins, as when the bytes come one at a time: a stray
        // start byte never holds up a whole frame behind it, and a frame with a whole frame
        // inside it is no frame.
        if (const qsizetype inner = firstEndingFrame(held, pos, complete ? pos + size - 1 : held.size());
            inner >= 0) {
            noteDropped(held.sliced(pos, inner - pos));
            pos = inner;
            continue;
        }
        if (!complete) break;
        frames_.push_back(held.sliced(pos, size).toByteArray());
        pos += size;
        if (frames_.size() > kMaxWaiting) {
            frames_.erase(frames_.begin());
            ++overflow_;
        }
    }
    pending_.remove(0, pos);
}

void FrameAssembler::noteDropped(QByteArrayView bytes) {
    dropped_.append(bytes.first(std::min(bytes.size(), kMaxDroppedSample - dropped_.size())));
    droppedCount_ += bytes.size();
}

bool FrameAssembler::hasCardRead() const {
    return std::any_of(frames_.begin(), frames_.end(),
                       [](const QByteArray& frame) { return isCardReadRequest(unwrapFrame(frame)); });
}

std::vector<QByteArray> FrameAssembler::takeFrames() {
    return std::exchange(frames_, {});
}

qsizetype FrameAssembler::takeOverflow() {
    return std::exchange(overflow_, 0);
}

QByteArray FrameAssembler::takeDropped(qsizetype* count) {
    if (count != nullptr) *count = droppedCount_;
    droppedCount_ = 0;
    return std::exchange(dropped_, {});
}
