#pragma once
// INI lookup with the rules of the platform's profile-string service: section and key compared
// without regard to case, the first match wins, blanks around keys and values ignored, a value
// in matching quotes loses them, a value is cut at 2,047 characters, ";" starts a comment line,
// and a key line without "=" is a key without a value.
#include <optional>
#include <string>

namespace platform {

inline constexpr size_t kIniValueLimit = 2047;

// The file is read as Windows-1252 text (on Windows, by the profile-string service itself). A
// relative path names a file in the working directory. Nothing when the file cannot be read or
// the section or key is missing or has no value.
std::optional<std::u16string> readIniValue(const std::string& path, const std::u16string& section,
                                           const std::u16string& key);

} // namespace platform
