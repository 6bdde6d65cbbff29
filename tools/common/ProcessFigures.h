#pragma once
// A running process's figures as the kernel shows them in /proc; nothing when they cannot be
// read (the process has ended, say).
#include <QtGlobal>
#include <optional>

namespace tools {

// The resident memory (VmRSS), in KB.
std::optional<qint64> residentKb(qint64 pid);
// The user and system CPU spent so far, in milliseconds.
std::optional<double> cpuMs(qint64 pid);

} // namespace tools
