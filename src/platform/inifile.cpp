#include "platform/inifile.h"

#include "platform/textfile.h"

#include <fstream>
#include <sstream>

namespace platform {

namespace {
char16_t foldCase(char16_t c) {
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
    return c;
}

bool sameText(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (foldCase(a[i]) != foldCase(b[i])) return false;
    return true;
}

std::u16string trimmed(const std::u16string& s) {
    size_t begin = s.find_first_not_of(u" \t\r");
    if (begin == std::u16string::npos) return {};
    size_t end = s.find_last_not_of(u" \t\r");
    return s.substr(begin, end - begin + 1);
}
} // namespace

std::optional<std::u16string> readIniValue(const std::string& path, const std::u16string& section,
                                           const std::u16string& key) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::u16string text = fromCp1252(bytes.str());

    bool inSection = false;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find(u'\n', pos);
        if (end == std::u16string::npos) end = text.size();
        std::u16string line = trimmed(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line.front() == u';') continue;
        if (line.front() == u'[') {
            size_t close = line.find(u']');
            // Only the first section of a given name is looked at.
            if (inSection) return std::nullopt;
            std::u16string name =
                trimmed(line.substr(1, close == std::u16string::npos ? std::u16string::npos : close - 1));
            inSection = sameText(name, section);
            continue;
        }
        if (!inSection) continue;
        size_t eq = line.find(u'=');
        if (!sameText(trimmed(line.substr(0, eq)), key)) continue;
        // A key without "=" has no value, yet as the first match it hides any later one.
        if (eq == std::u16string::npos) return std::nullopt;
        std::u16string value = trimmed(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        if (value.size() > kIniValueLimit) value.resize(kIniValueLimit);
        return value;
    }
    return std::nullopt;
}

} // namespace platform
