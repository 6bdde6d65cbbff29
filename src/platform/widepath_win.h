#pragma once
// UTF-8 paths of the platform interface to and from the UTF-16 that Windows takes.
#include <string>

namespace platform {

std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& utf16);

} // namespace platform
