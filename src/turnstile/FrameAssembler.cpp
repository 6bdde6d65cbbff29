#include "turnstile/FrameAssembler.h"

#include "turnstile/codec.h"

#include <algorithm>
#include <utility>

namespace {
constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;
constexpr qsizetype kHeader = 3;
constexpr qsizetype kTrailer = 2;
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
        if (held.size() - pos < kHeader) break;
        const qsizetype length =
            static_cast<uint8_t>(held[pos + 1]) | (static_cast<uint8_t>(held[pos + 2]) << 8);
        const qsizetype size = kHeader + length + kTrailer;
        if (length <= kMaxPayload && held.size() - pos < size) break;
        if (length > kMaxPayload || held[pos + size - 1] != kEtx) {
            // Not a frame after all: its start byte is dropped and the search goes on.
            noteDropped(held.sliced(pos++, 1));
            continue;
        }
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
