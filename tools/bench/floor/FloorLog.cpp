#include "FloorLog.h"

#include "FloorDatabase.h"
#include "platform/os.h"
#include "platform/regional.h"
#include "platform/textfile.h"

#include <cstdio>
#include <ctime>
#include <string_view>

namespace bench {

FloorLog::FloorLog(std::string path)
    : path_(std::move(path)), dateSeparator_(regional::dateSeparator().toLatin1()),
      timeSeparator_(regional::timeSeparator().toLatin1()) {}

void FloorLog::line(const QString& text) const {
    // The platform's open for one writer at a time, readers free; nobody else writes this file,
    // but a second writer would wait its turn.
    platform::ExclusiveFile file;
    platform::ExclusiveFile::OpenResult opened;
    while ((opened = file.open(path_, platform::ExclusiveFile::Mode::Append)) ==
           platform::ExclusiveFile::OpenResult::Busy)
        platform::sleepMs(1);
    if (opened != platform::ExclusiveFile::OpenResult::Ok)
        throw FloorError("the floor's activity log cannot be opened: " + path_);

    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    char stamp[32];
    const int stampSize = std::snprintf(
        stamp, sizeof stamp, "%02d%c%02d%c%04d %02d%c%02d%c%02d%c%03d ", local.tm_mday, dateSeparator_,
        local.tm_mon + 1, dateSeparator_, local.tm_year + 1900, local.tm_hour, timeSeparator_, local.tm_min,
        timeSeparator_, local.tm_sec, timeSeparator_, static_cast<int>(now.tv_nsec / 1000000));
    std::string bytes(stamp, static_cast<size_t>(stampSize));
    bytes += platform::toCp1252(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                                    static_cast<size_t>(text.size())));
    bytes += "\r\n";
    const bool written = file.write(bytes);
    if (!file.close() || !written) throw FloorError("the floor's activity log cannot be written: " + path_);
}

} // namespace bench
