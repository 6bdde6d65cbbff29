#include "LoopbackRelay.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <future>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {
sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// Closes with a reset instead of an orderly end.
void abort(int fd) {
    if (fd < 0) return;
    linger hard{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    ::close(fd);
}

bool sendAll(int fd, const char* data, ssize_t size) {
    while (size > 0) {
        ssize_t n = ::send(fd, data, static_cast<size_t>(size), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= n;
    }
    return true;
}
} // namespace

LoopbackRelay::LoopbackRelay(int upstreamPort) : upstreamPort_(upstreamPort) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t size = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        throw std::runtime_error("relay: no loopback listener");
    port_ = ntohs(address.sin_port);
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("relay: no pipe");
    wakeRead_ = pipeEnds[0];
    wakeWrite_ = pipeEnds[1];
    thread_ = std::thread([this] { run(); });
}

LoopbackRelay::~LoopbackRelay() {
    stop_ = true;
    wake();
    thread_.join();
    for (Link& link : links_)
        reset(link);
    ::close(listener_);
    ::close(wakeRead_);
    ::close(wakeWrite_);
}

void LoopbackRelay::cutAtTurn(int n) {
    turns_ = 0;
    cutAt_ = n;
}

void LoopbackRelay::resetAll() {
    resetRequested_ = true;
    wake();
    while (resetRequested_)
        std::this_thread::yield();
}

void LoopbackRelay::wake() {
    const char byte = 0;
    [[maybe_unused]] ssize_t n = ::write(wakeWrite_, &byte, 1);
}

void LoopbackRelay::run() {
    while (!stop_) {
        if (resetRequested_) {
            for (Link& link : links_)
                reset(link);
            links_.clear();
            resetRequested_ = false;
        }
        std::vector<pollfd> fds{{wakeRead_, POLLIN, 0}, {listener_, POLLIN, 0}};
        for (const Link& link : links_) {
            fds.push_back({link.client, POLLIN, 0});
            fds.push_back({link.server, link.server < 0 ? short(0) : short(POLLIN), 0});
        }
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) return;
        if (fds[0].revents != 0) {
            char drain[64];
            while (::read(wakeRead_, drain, sizeof drain) > 0) {
            }
        }
        if (fds[1].revents != 0) accept();
        std::vector<Link> kept;
        for (size_t i = 0; i < links_.size() && 2 + 2 * i < fds.size(); ++i) {
            Link& link = links_[i];
            bool alive = true;
            if (fds[2 + 2 * i].revents != 0) alive = relay(link, true);
            if (alive && fds[3 + 2 * i].revents != 0) alive = relay(link, false);
            if (alive)
                kept.push_back(link);
            else
                reset(link);
        }
        for (size_t i = fds.size() / 2 - 1; i < links_.size(); ++i)
            kept.push_back(links_[i]);
        links_ = std::move(kept);
    }
}

void LoopbackRelay::accept() {
    Link link;
    link.client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (link.client < 0) return;
    if (upstreamPort_ != 0) {
        link.server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = loopback(upstreamPort_);
        if (::connect(link.server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            reset(link);
            return;
        }
    }
    links_.push_back(link);
}

bool LoopbackRelay::relay(Link& link, bool fromClient) {
    char buffer[65536];
    const ssize_t n = ::recv(fromClient ? link.client : link.server, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    if (link.server < 0) return true; // mute: heard and never answered
    if (!fromClient) {
        link.serverSpokeLast = true;
        return sendAll(link.client, buffer, n);
    }
    if (link.serverSpokeLast) {
        link.serverSpokeLast = false;
        if (++turns_ == cutAt_) {
            cutAt_ = 0;
            return false;
        }
    }
    return sendAll(link.server, buffer, n);
}

void LoopbackRelay::reset(Link& link) {
    abort(link.client);
    abort(link.server);
    link.client = link.server = -1;
}

bool endsWithin(int seconds, LoopbackRelay& relay, const std::function<void()>& work) {
    auto done = std::async(std::launch::async, work);
    const bool inTime = done.wait_for(std::chrono::seconds(seconds)) == std::future_status::ready;
    while (done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready)
        relay.resetAll();
    done.get();
    return inTime;
}
