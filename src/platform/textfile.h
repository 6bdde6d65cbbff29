#pragma once
// Text files as the program writes them: Windows-1252 bytes, CR LF line ends, and an open that
// excludes other writers while leaving readers free.
#include <string>
#include <string_view>

namespace platform {

// Windows-1252 encoding of UTF-16 text; a character the code page lacks becomes "?".
std::string toCp1252(std::u16string_view text);
std::u16string fromCp1252(std::string_view bytes);

// A file held open for writing under an exclusive advisory lock (flock): a second writer's
// open fails while it is held, readers are never blocked, and the kernel drops the lock when
// the holder ends in any way. Closed on destruction.
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
    bool isOpen() const { return fd_ >= 0; }
    // Whether the path names the file held open here.
    bool holds(const std::string& path) const;
    bool write(std::string_view bytes);
    // False when nothing was open or the close failed.
    bool close();

private:
    int fd_ = -1;
};

// Creates (or replaces) a file with the given content in one go. False on any failure.
bool writeWholeFile(const std::string& path, std::string_view bytes);

} // namespace platform
