// bench-floor: what any program answering turnstiles must do for a card read, and for a card of
// the card dialog's range insert, with nothing of its own besides: the floor the benchmark
// measures the program against.
//
//   bench-floor serve DATABASE LOG PORT...
//       The TCP client of the controllers listening on 127.0.0.1 at the ports: one attachment,
//       one read at a time. Each card-read request frame is decided with the program's
//       statements, the program's activity-log lines for its path are appended to LOG one at a
//       time, and the reply frame is sent. After each reply a line "COMANDA PATH MICROSECONDS"
//       (short, refuse, close or unregistered; the time spent in the database client) goes to
//       the standard output. Ends when its standard input ends.
//   bench-floor insert DATABASE FIRST COUNT
//       Inserts cards FIRST to FIRST+COUNT-1 as the range insert does, each committed by
//       itself, and prints each card's time in microseconds, a line each.
//
// Exits 2 on a wrong command line or a failure, telling what failed.
#include "FloorDatabase.h"
#include "FloorDecision.h"
#include "FloorLog.h"
#include "cards/CardStatements.h"
#include "cards/checkdigit.h"
#include "turnstile/FrameAssembler.h"
#include "turnstile/codec.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {
using bench::FloorError;

constexpr size_t kReadSize = 64 * 1024;

// One controller's connection, closed with the floor.
class Link {
public:
    explicit Link(int port) : port_(port), fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            throw FloorError("cannot connect to the controller on port " + std::to_string(port));
    }
    ~Link() {
        if (fd_ >= 0) ::close(fd_);
    }
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;
    int fd() const { return fd_; }

    // Takes what the controller sent; false once it has closed the connection.
    bool receive() {
        char bytes[kReadSize];
        ssize_t n;
        while ((n = ::recv(fd_, bytes, sizeof bytes, 0)) < 0 && errno == EINTR) {
        }
        if (n < 0) throw FloorError("cannot read from the controller on port " + std::to_string(port_));
        frames_.append(QByteArrayView(bytes, n));
        return n > 0;
    }
    std::vector<QByteArray> takeFrames() { return frames_.takeFrames(); }
    void send(const QString& reply) {
        TByteArray frame;
        stringToBytes(reply, frame);
        size_t sent = 0;
        while (sent < frame.size()) {
            const ssize_t n = ::send(fd_, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) throw FloorError("cannot send to the controller on port " + std::to_string(port_));
            sent += static_cast<size_t>(n);
        }
    }

private:
    int port_;
    int fd_;
    FrameAssembler frames_;
};

// Answers every controller's reads, one at a time, until the standard input ends.
int serve(const char* database, const char* logPath, const std::vector<int>& ports) {
    bench::FloorDatabase db(database);
    const bench::FloorLog log(logPath);
    std::vector<std::unique_ptr<Link>> links;
    std::vector<pollfd> watched{{STDIN_FILENO, POLLIN, 0}};
    for (int port : ports) {
        links.push_back(std::make_unique<Link>(port));
        watched.push_back({links.back()->fd(), POLLIN, 0});
    }
    for (;;) {
        if (::poll(watched.data(), watched.size(), -1) < 0) {
            if (errno == EINTR) continue;
            throw FloorError("poll failed");
        }
        if (watched[0].revents != 0) {
            char ignored[256];
            if (::read(STDIN_FILENO, ignored, sizeof ignored) <= 0) return 0;
        }
        for (size_t i = 1; i < watched.size(); ++i) {
            if (watched[i].revents == 0) continue;
            Link& link = *links[i - 1];
            // A controller that has gone is watched no more.
            if (!link.receive()) watched[i].fd = -1;
            const std::vector<QByteArray> frames = link.takeFrames();
            if (frames.empty()) continue;
            // A controller has one read outstanding: the newest is the one to answer.
            const QString text = unwrapFrame(frames.back());
            if (!isCardReadRequest(text)) continue;
            const QString comanda = extractComanda(text);
            db.takeSpentUs();
            const bench::FloorPath path = bench::decideRead(db, log, comanda);
            link.send(bench::floorReply(path));
            std::printf("%s %s %lld\n", qPrintable(comanda), bench::floorPathName(path),
                        static_cast<long long>(db.takeSpentUs()));
            std::fflush(stdout);
        }
    }
}

long long microseconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000000LL + t.tv_nsec / 1000;
}

int insert(const char* database, long long first, long long count) {
    bench::FloorDatabase db(database);
    for (long long number = first; number < first + count; ++number) {
        const long long began = microseconds();
        db.write(cartoes::sqlInserirCartao(number, DigitoVerificador(QString::number(number), 0)));
        std::printf("%lld\n", microseconds() - began);
    }
    return 0;
}

int usage() {
    std::fprintf(stderr, "usage: bench-floor serve DATABASE LOG PORT...\n"
                         "       bench-floor insert DATABASE FIRST COUNT\n");
    return 2;
}

bool wholeNumber(const char* text, long long min, long long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && value >= min;
}
} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    try {
        if (mode == "serve" && argc >= 5) {
            std::vector<int> ports;
            for (int i = 4; i < argc; ++i) {
                long long port = 0;
                if (!wholeNumber(argv[i], 1, port) || port > 65535) return usage();
                ports.push_back(static_cast<int>(port));
            }
            return serve(argv[2], argv[3], ports);
        }
        long long first = 0, count = 0;
        if (mode == "insert" && argc == 5 && wholeNumber(argv[3], 1, first) && wholeNumber(argv[4], 0, count))
            return insert(argv[2], first, count);
        return usage();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench-floor: %s\n", e.what());
        return 2;
    }
}
