#include "platform/textfile.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {
// Code points of the bytes 0x80..0x9F in Windows-1252; 0 where the code page has no character.
constexpr std::array<char16_t, 32> kHigh = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                            0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

constexpr int kOpenAttempts = 100;

// Whether the path names the open file.
bool sameFile(int fd, const std::string& path) {
    struct stat open {
    }, named{};
    return ::fstat(fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
           open.st_ino == named.st_ino;
}

bool writeAll(int fd, std::string_view bytes, std::size_t* written = nullptr) {
    std::size_t done = 0;
    bool complete = true;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            complete = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (written != nullptr) *written = done;
    return complete;
}
} // namespace

std::string toCp1252(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        // The five bytes the code page leaves undefined stand for the control characters of
        // the same number, both ways, as on Windows.
        const bool undefinedByte = c >= 0x80 && c < 0xA0 && kHigh[c - 0x80] == 0;
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF) || undefinedByte) {
            out += static_cast<char>(c);
            continue;
        }
        char byte = '?';
        for (size_t i = 0; i < kHigh.size(); ++i)
            if (kHigh[i] != 0 && kHigh[i] == c) byte = static_cast<char>(0x80 + i);
        out += byte;
    }
    return out;
}

std::u16string fromCp1252(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (char b : bytes) {
        auto u = static_cast<unsigned char>(b);
        char16_t high = (u >= 0x80 && u < 0xA0) ? kHigh[u - 0x80] : 0;
        out += high != 0 ? high : static_cast<char16_t>(u);
    }
    return out;
}

ExclusiveFile::~ExclusiveFile() {
    close();
}

ExclusiveFile::OpenResult ExclusiveFile::open(const std::string& path, Mode mode) {
    close();
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (mode == Mode::Append ? O_APPEND : 0);
    // A holder may remove the file while we wait between open and lock: the lock we then get is
    // on a file no longer under that name, so open the name again.
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        int fd = ::open(path.c_str(), flags, 0666);
        if (fd < 0) return errno == ENOENT ? OpenResult::NoFolder : OpenResult::Failed;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            bool busy = errno == EWOULDBLOCK;
            ::close(fd);
            return busy ? OpenResult::Busy : OpenResult::Failed;
        }
        if (!sameFile(fd, path)) {
            ::close(fd);
            continue;
        }
        if (mode == Mode::Replace && ::ftruncate(fd, 0) != 0) {
            ::close(fd);
            return OpenResult::Failed;
        }
        handle_ = fd;
        return OpenResult::Ok;
    }
    return OpenResult::Failed;
}

bool ExclusiveFile::holds(const std::string& path) const {
    return isOpen() && sameFile(static_cast<int>(handle_), path);
}

bool ExclusiveFile::write(std::string_view bytes, std::size_t* written) {
    if (written != nullptr) *written = 0;
    return isOpen() && writeAll(static_cast<int>(handle_), bytes, written);
}

bool ExclusiveFile::close() {
    if (!isOpen()) return false;
    const int fd = static_cast<int>(handle_);
    handle_ = kNoHandle;
    return ::close(fd) == 0;
}

bool writeWholeFile(const std::string& path, std::string_view bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool written = writeAll(fd, bytes);
    return ::close(fd) == 0 && written;
}

} // namespace platform
