// The parts of the operating-system side that are the same on every platform.
#include "platform/os.h"

#include <cctype>

namespace platform {

namespace {
bool sameLetter(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

// The position of the next separator from a position on, or the path's end.
size_t nextSeparator(const std::string& path, size_t from) {
    while (from < path.size() && !isSeparator(path[from]))
        ++from;
    return from;
}
} // namespace

std::string driveOf(const std::string& path) {
    if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':')
        return path.substr(0, 2) + '\\';
    if (path.size() < 2 || !isSeparator(path[0]) || !isSeparator(path[1])) return {};
    const size_t serverEnd = nextSeparator(path, 2);
    const size_t shareEnd = nextSeparator(path, serverEnd + 1);
    if (serverEnd == 2 || serverEnd >= path.size() || shareEnd == serverEnd + 1) return {};
    return "\\\\" + path.substr(2, serverEnd - 2) + '\\' +
           path.substr(serverEnd + 1, shareEnd - serverEnd - 1) + '\\';
}

// Without regard to case, as the platform's own file-name matching.
bool wildcardMatch(const std::string& mask, const std::string& name) {
    size_t m = 0, n = 0, star = std::string::npos, resume = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || sameLetter(mask[m], name[n]))) {
            ++m;
            ++n;
        } else if (m < mask.size() && mask[m] == '*') {
            star = m++;
            resume = n;
        } else if (star != std::string::npos) {
            m = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

} // namespace platform
