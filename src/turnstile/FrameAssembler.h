#pragma once
// The receive buffer of one turnstile connection: bytes of successive reads are joined into
// frames (start byte, length low byte first, payload, checksum, end byte). Bytes that cannot
// start a frame are dropped; a frame whose end byte is not where its length puts it is no frame,
// and the search goes on after its start byte. Where candidates overlap, the one complete first
// is the frame, however the bytes were cut into reads. Memory stays bounded whatever a
// controller sends.
#include <QByteArray>
#include <QByteArrayView>
#include <vector>

class FrameAssembler {
public:
    // The longest payload taken as a frame; a controller's requests are a few dozen bytes.
    static constexpr qsizetype kMaxPayload = 512;
    // Complete frames kept while they wait to be taken; older ones are counted, not kept.
    static constexpr size_t kMaxWaiting = 8;
    // How much of the dropped bytes is kept for display.
    static constexpr qsizetype kMaxDroppedSample = 256;

    void append(QByteArrayView bytes);

    bool hasFrames() const { return !frames_.empty(); }
    // True when a card-read request waits among the frames.
    bool hasCardRead() const;
    // The whole frames completed since the last take, oldest first.
    std::vector<QByteArray> takeFrames();
    // Complete frames that were lost to newer ones before they could be taken.
    qsizetype takeOverflow();

    // The bytes dropped since the last take (the first kMaxDroppedSample of them) and how many
    // there were in all.
    QByteArray takeDropped(qsizetype* count = nullptr);

    // Bytes held for a frame not complete yet.
    qsizetype pendingBytes() const { return pending_.size(); }

private:
    void noteDropped(QByteArrayView bytes);
    void extract();

    QByteArray pending_;
    std::vector<QByteArray> frames_;
    qsizetype overflow_ = 0;
    QByteArray dropped_;
    qsizetype droppedCount_ = 0;
};
