#include "side.h"

#include <cstdlib>
#include <unistd.h>

namespace side {

// Hidden is a name that begins with "."; there are no attributes to set.
bool markHidden(const std::string&) {
    return false;
}

bool markSystem(const std::string&) {
    return false;
}

// Text files are always written in Windows-1252 here.
unsigned ansiCodePage() {
    return 1252;
}

bool underWine() {
    return false;
}

void setEnv(const char* name, const char* value) {
    if (value == nullptr)
        ::unsetenv(name);
    else
        ::setenv(name, value, 1);
}

} // namespace side
