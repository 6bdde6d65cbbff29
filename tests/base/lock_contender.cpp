// An instance of the program reduced to its instance lock, for races between processes, in its
// working directory, for terminal 1.
//   lock_contender         tries to take the lock again and again, as instances started one
//                          after another would; once it holds it, writes "held" and keeps it
//                          until its standard input ends, then releases it. Exits 0 when it
//                          held the lock, 1 when its input ended first.
//   lock_contender relay N takes and releases the lock N times; while holding it, it marks the
//                          folder with a file that only one holder at a time can create.
//                          Exits 3 when it ever found another holder's mark.
#include "base/untFuncoes.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {
const QString kSistema = QStringLiteral("VORTALIS");

bool inputEnded(int timeoutMs) {
    pollfd in{STDIN_FILENO, POLLIN, 0};
    if (::poll(&in, 1, timeoutMs) <= 0) return false;
    char buffer[64];
    return ::read(STDIN_FILENO, buffer, sizeof buffer) <= 0;
}

int holdUntilInputEnds() {
    platform::ExclusiveFile lock;
    while (!TravarJanela(1, kSistema, lock, QString()))
        if (inputEnded(0)) return 1;
    std::puts("held");
    std::fflush(stdout);
    while (!inputEnded(-1)) {
    }
    DestravarJanela(1, kSistema, lock);
    return 0;
}

int relay(int cycles) {
    int status = 0;
    for (int i = 0; i < cycles; ++i) {
        platform::ExclusiveFile lock;
        while (!TravarJanela(1, kSistema, lock, QString())) {
        }
        int mark = ::open("holder", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (mark < 0) {
            std::fprintf(stderr, "another holder beside this one: %s\n", std::strerror(errno));
            status = 3;
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
            ::close(mark);
            ::unlink("holder");
        }
        DestravarJanela(1, kSistema, lock);
    }
    return status;
}
} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "relay") == 0) return relay(std::atoi(argv[2]));
    return holdUntilInputEnds();
}
