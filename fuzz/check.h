#pragma once
// What every fuzz target shares: a property check that stops the run with a reproducer, and
// the ways the targets read text out of the fuzzer's bytes.
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>

namespace fuzz {

[[noreturn]] inline void fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, what);
    std::abort();
}

// A byte string as UTF-8 text (invalid sequences become U+FFFD), so any character can occur.
inline QString utf8(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace fuzz

// Aborts with the failed condition: libFuzzer keeps the input that did it.
#define FUZZ_CHECK(condition) ((condition) ? void() : fuzz::fail(#condition, __FILE__, __LINE__))
