#include "platform/inifile.h"

#include "platform/widepath_win.h"

#include <windows.h>

namespace platform {

namespace {
// The value through the profile-string service, or the default given when there is none.
std::wstring profileString(const std::wstring& file, const std::u16string& section, const std::u16string& key,
                           const wchar_t* fallback) {
    // One more than the longest value, for the terminating zero.
    std::wstring buffer(kIniValueLimit + 1, L'\0');
    const DWORD n = GetPrivateProfileStringW(reinterpret_cast<const wchar_t*>(section.c_str()),
                                             reinterpret_cast<const wchar_t*>(key.c_str()), fallback,
                                             buffer.data(), static_cast<DWORD>(buffer.size()), file.c_str());
    buffer.resize(n);
    return buffer;
}
} // namespace

std::optional<std::u16string> readIniValue(const std::string& path, const std::u16string& section,
                                           const std::u16string& key) {
    // The service looks for a name without a folder in the Windows folder: name the file fully,
    // so that a relative path means the working directory as it does everywhere else.
    std::wstring full(32768, L'\0');
    const DWORD n =
        GetFullPathNameW(widen(path).c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0 || n >= full.size()) return std::nullopt;
    full.resize(n);
    // The service cannot say "missing" (nor "unreadable"): ask with two defaults, and only a
    // missing value gives both.
    std::wstring value = profileString(full, section, key, L"\x01");
    if (value == L"\x01" && profileString(full, section, key, L"\x02") == L"\x02") return std::nullopt;
    return std::u16string(value.begin(), value.end());
}

} // namespace platform
