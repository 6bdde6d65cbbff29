#include "Chips.h"

#include "Bench.h"

namespace bench {

namespace {
constexpr qint64 kFirst[] = {1000001, 1060001, 1080001};
constexpr qint64 kCount[] = {60000, 20000, 10000};
} // namespace

Card Chips::next(Path path) {
    qint64& used = used_[path];
    if (path == kClose && used >= kCount[path])
        throw Failed("the venue database has no more sales for the close path: fewer reads, please");
    return {QString::number(kFirst[path] + used++ % kCount[path]), path};
}

Path Chips::pathOf(qint64 chip) {
    for (int p = kPaths - 1; p > 0; --p)
        if (chip >= kFirst[p]) return static_cast<Path>(p);
    return kShort;
}

} // namespace bench
