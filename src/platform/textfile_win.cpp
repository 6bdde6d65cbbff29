#include "platform/textfile.h"

#include "platform/widepath_win.h"

#include <windows.h>

namespace platform {

namespace {
HANDLE native(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

bool writeAll(HANDLE file, std::string_view bytes, std::size_t* written = nullptr) {
    std::size_t done = 0;
    bool complete = true;
    while (done < bytes.size()) {
        DWORD chunkWritten = 0;
        const std::size_t left = bytes.size() - done;
        const DWORD chunk = left > MAXDWORD ? MAXDWORD : static_cast<DWORD>(left);
        if (!WriteFile(file, bytes.data() + done, chunk, &chunkWritten, nullptr) || chunkWritten == 0) {
            complete = false;
            break;
        }
        done += chunkWritten;
    }
    if (written != nullptr) *written = done;
    return complete;
}

// The file's identity: its volume and its index on that volume.
bool identity(HANDLE file, BY_HANDLE_FILE_INFORMATION& info) {
    return GetFileInformationByHandle(file, &info) != 0;
}
} // namespace

std::string toCp1252(std::u16string_view text) {
    if (text.empty()) return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int size = static_cast<int>(text.size());
    // No best fit: a character the code page lacks becomes "?", never a look-alike letter.
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, size, out.data(), n, nullptr, nullptr);
    return out;
}

std::u16string fromCp1252(std::string_view bytes) {
    if (bytes.empty()) return {};
    const int size = static_cast<int>(bytes.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    std::u16string out(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, reinterpret_cast<wchar_t*>(out.data()), n);
    return out;
}

ExclusiveFile::~ExclusiveFile() {
    close();
}

ExclusiveFile::OpenResult ExclusiveFile::open(const std::string& path, Mode mode) {
    close();
    // The share mode is the lock: while this handle is open, another open for writing fails with
    // a sharing violation, and the file is emptied only once that open has succeeded here.
    HANDLE file = CreateFileW(widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        switch (GetLastError()) {
        case ERROR_SHARING_VIOLATION:
            return OpenResult::Busy;
        case ERROR_PATH_NOT_FOUND:
            return OpenResult::NoFolder;
        default:
            return OpenResult::Failed;
        }
    }
    const bool placed = mode == Mode::Append ? SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_END) != 0
                                             : SetEndOfFile(file) != 0;
    if (!placed) {
        CloseHandle(file);
        return OpenResult::Failed;
    }
    handle_ = reinterpret_cast<Handle>(file);
    return OpenResult::Ok;
}

bool ExclusiveFile::holds(const std::string& path) const {
    if (!isOpen()) return false;
    // Opened for its identity only: no access to its content, so no share mode stands in the way.
    HANDLE named = CreateFileW(widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (named == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION open{}, other{};
    const bool same = identity(native(handle_), open) && identity(named, other) &&
                      open.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
                      open.nFileIndexHigh == other.nFileIndexHigh &&
                      open.nFileIndexLow == other.nFileIndexLow;
    CloseHandle(named);
    return same;
}

bool ExclusiveFile::write(std::string_view bytes, std::size_t* written) {
    if (written != nullptr) *written = 0;
    return isOpen() && writeAll(native(handle_), bytes, written);
}

bool ExclusiveFile::close() {
    if (!isOpen()) return false;
    HANDLE file = native(handle_);
    handle_ = kNoHandle;
    return CloseHandle(file) != 0;
}

bool writeWholeFile(const std::string& path, std::string_view bytes) {
    HANDLE file = CreateFileW(widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool written = writeAll(file, bytes);
    return CloseHandle(file) != 0 && written;
}

} // namespace platform
