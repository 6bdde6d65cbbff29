#pragma once
// Text files as the program writes them: Windows-1252 bytes, CR LF line ends, and an open that
// excludes other writers while leaving readers free.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Windows-1252 encoding of UTF-16 text; a character the code page lacks becomes "?". On Windows
// the ANSI code page, which is 1252 on the venues' terminals.
std::string toCp1252(std::u16string_view text);
std::u16string fromCp1252(std::string_view bytes);

// A file held open for writing so that a second writer's open fails while it is held and readers
// are never blocked; the system lets go when the holder ends in any way. On Windows the share
// mode does it: read sharing, and delete sharing so that the holder may remove the file before
// it lets go; elsewhere an exclusive advisory lock (flock). Closed on destruction.
class ExclusiveFile {
public:
    enum class OpenResult { Ok, Busy, NoFolder, Failed };
    enum class Mode { Append, Replace };

    ExclusiveFile() = default;
    ~ExclusiveFile();
    ExclusiveFile(const ExclusiveFile&) = delete;
    ExclusiveFile& operator=(const ExclusiveFile&) = delete;

    // Append writes at the end; Replace empties the file, but only once the lock is held, so a
    // refused writer never clears the holder's content.
    OpenResult open(const std::string& path, Mode mode);
    bool isOpen() const { return handle_ != kNoHandle; }
    // Whether the path names the file held open here.
    bool holds(const std::string& path) const;
    // True when every byte was written; how many were is told when asked for.
    bool write(std::string_view bytes, std::size_t* written = nullptr);
    // False when nothing was open or the close failed.
    bool close();

private:
    // The system's handle of the open file: a descriptor, or a Windows HANDLE.
    using Handle = std::intptr_t;
    static constexpr Handle kNoHandle = -1;
    Handle handle_ = kNoHandle;
};

// Creates (or replaces) a file with the given content in one go. False on any failure.
bool writeWholeFile(const std::string& path, std::string_view bytes);

} // namespace platform
