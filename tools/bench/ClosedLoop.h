#pragma once
// Turnstiles in a closed loop: each reads again as soon as its reply is in.
#include "Replies.h"

#include <functional>
#include <vector>

namespace bench {

// Reads until count replies are in, the cards from next; each() after every reply.
void closedLoop(const Responder& responder, const std::vector<Turnstile*>& turnstiles, qint64 count,
                const std::function<Card()>& next, Replies& replies, const std::function<void()>& each = {});

} // namespace bench
