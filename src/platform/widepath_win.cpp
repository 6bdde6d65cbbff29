#include "platform/widepath_win.h"

#include <windows.h>

namespace platform {

std::wstring widen(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int size = static_cast<int>(utf8.size());
    std::wstring out(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0)),
                     L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), static_cast<int>(out.size()));
    return out;
}

std::string narrow(const std::wstring& utf16) {
    if (utf16.empty()) return {};
    const int size = static_cast<int>(utf16.size());
    std::string out(static_cast<size_t>(
                        WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr)),
                    '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, out.data(), static_cast<int>(out.size()), nullptr,
                        nullptr);
    return out;
}

} // namespace platform
