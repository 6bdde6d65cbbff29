#pragma once
// Chips of the venue database (scripts/lib/venue-db) by path. Short and refusing cards can be
// read again and again; a card whose sale a read closes reads short afterwards, so each is
// handed out once.
#include "Turnstile.h"

namespace bench {

class Chips {
public:
    Card next(Path path);
    // The path a read of the chip takes, from its range.
    static Path pathOf(qint64 chip);

private:
    qint64 used_[kPaths] = {};
};

} // namespace bench
