#include "platform/TClientSocket.h"

#include "platform/failure.h"
#include "platform/guard.h"

#include <QStringList>
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace winsock {
int fromErrno(int error) {
    switch (error) {
    case ECONNREFUSED:
        return kRefused;
    case ECONNRESET:
    case EPIPE:
        return kConnectionReset;
    case ETIMEDOUT:
        return kTimedOut;
    case ENETUNREACH:
    case EHOSTUNREACH:
        return kHostUnreachable;
    case EACCES:
    case EPERM:
        return kAccess;
    case ENOBUFS:
    case ENOMEM:
        return kNoBuffers;
    case EMFILE:
    case ENFILE:
        return kTooManySockets;
    case EADDRINUSE:
        return kAddressInUse;
    case EADDRNOTAVAIL:
        return kAddressNotAvailable;
    case ECONNABORTED:
        return kConnectionAborted;
    case ENOTCONN:
        return kNotConnected;
    default:
        return kNetworkDown;
    }
}

int fromConnectErrno(int error) {
    return error == EHOSTUNREACH ? kTimedOut : fromErrno(error);
}
} // namespace winsock

namespace {
// A dotted address in the short forms the platform's address parsing takes ("127.1" is
// 127.0.0.1, the last part filling the bytes left), with every part in decimal: "010" is ten,
// never eight. False for anything else.
bool dottedAddress(const QString& text, in_addr& address) {
    const QStringList parts = text.trimmed().split(u'.');
    if (parts.size() > 4) return false;
    uint32_t value = 0;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString& part = parts[i];
        if (part.isEmpty() || part.size() > 10) return false;
        uint64_t number = 0;
        for (QChar c : part) {
            if (c < u'0' || c > u'9') return false;
            number = number * 10 + (c.unicode() - u'0');
        }
        const bool last = i == parts.size() - 1;
        const int bits = last ? 8 * (4 - static_cast<int>(i)) : 8;
        if (number >> bits != 0) return false;
        value = last ? value | static_cast<uint32_t>(number)
                     : value | static_cast<uint32_t>(number) << (24 - 8 * i);
    }
    address.s_addr = htonl(value);
    return true;
}

// Switches a notifier off at once and frees it once back in the message loop: it may be the one
// whose signal is running.
void retire(QSocketNotifier*& notifier) {
    if (notifier == nullptr) return;
    notifier->setEnabled(false);
    notifier->deleteLater();
    notifier = nullptr;
}
} // namespace

int TClientWinSocket::ReceiveBuf(void* Buf, int Count) {
    const int fd = owner_.fd_;
    if (!Connected()) return 0;
    if (Buf == nullptr && Count == -1) {
        int waiting = 0;
        return ::ioctl(fd, FIONREAD, &waiting) == 0 ? waiting : 0;
    }
    if (Count <= 0) return 0;
    const ssize_t n = ::recv(fd, Buf, static_cast<size_t>(Count), 0);
    // A close or an error shows at the next notification, when nothing is left to read.
    return n > 0 ? static_cast<int>(n) : 0;
}

int TClientWinSocket::SendBuf(const void* Buf, int Count) {
    TClientSocket& owner = owner_;
    if (!Connected() || Count <= 0) return 0;
    ssize_t sent = 0;
    if (owner.unsent_.isEmpty()) {
        sent = ::send(owner.fd_, Buf, static_cast<size_t>(Count), MSG_NOSIGNAL);
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            owner.fail(eeSend, winsock::fromErrno(errno), "send");
            return 0;
        }
        sent = std::max<ssize_t>(sent, 0);
    }
    if (sent < Count) {
        if (owner.unsent_.size() + (Count - sent) > TClientSocket::kMaxUnsent) {
            owner.fail(eeSend, winsock::kNoBuffers, "send");
            return 0;
        }
        owner.unsent_.append(static_cast<const char*>(Buf) + sent, Count - sent);
        owner.writeNotifier_->setEnabled(true);
    }
    return Count;
}

bool TClientWinSocket::Connected() const {
    return owner_.state_ == TClientSocket::State::Connected;
}

TClientSocket::TClientSocket() {
    connectTimer_.setSingleShot(true);
    connect(&connectTimer_, &QTimer::timeout, this,
            [this] { dispatch([&] { fail(eeConnect, winsock::kTimedOut, "connect"); }); });
}

TClientSocket::~TClientSocket() {
    close();
}

template <typename F> void TClientSocket::dispatch(F&& event) {
    ++running_;
    guarded(event);
    if (--running_ == 0 && freed_) deleteLater();
}

void TClientSocket::setActive(bool value) {
    if (value == Active()) return;
    if (!value) {
        close();
        return;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw Failure(QStringLiteral("Não foi possível abrir um socket: erro %1 na operação 'socket'")
                          .arg(winsock::fromErrno(errno)));
    fd_ = fd;
    state_ = State::Connecting;
    ++attempt_;
    readNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    readNotifier_->setEnabled(false);
    connect(readNotifier_, &QSocketNotifier::activated, this, [this] { dispatch([&] { readable(); }); });
    writeNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    connect(writeNotifier_, &QSocketNotifier::activated, this, [this] { dispatch([&] { writable(); }); });

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(Port));
    if (!dottedAddress(Host, address.sin_addr)) {
        writeNotifier_->setEnabled(false);
        failLater(eeLookup, winsock::kHostNotFound, "connect");
        return;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
        errno != EINPROGRESS) {
        // Reported through the message loop, as every outcome of an attempt is.
        writeNotifier_->setEnabled(false);
        failLater(eeConnect, winsock::fromConnectErrno(errno), "connect");
        return;
    }
    // The write notification tells the outcome; the timer bounds the wait for it.
    connectTimer_.start(ConnectTimeoutMs);
}

void TClientSocket::Free() {
    freed_ = true;
    close();
    if (running_ == 0) delete this;
}

void TClientSocket::close() {
    connectTimer_.stop();
    retire(readNotifier_);
    retire(writeNotifier_);
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    state_ = State::Closed;
    unsent_.clear();
    ++attempt_;
}

void TClientSocket::writable() {
    if (state_ == State::Connecting) {
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
        if (error == EINPROGRESS) return;
        if (error != 0) {
            fail(eeConnect, winsock::fromConnectErrno(error), "connect");
            return;
        }
        connectFinished();
        return;
    }
    while (!unsent_.isEmpty()) {
        const ssize_t sent =
            ::send(fd_, unsent_.constData(), static_cast<size_t>(unsent_.size()), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return;
            fail(eeSend, winsock::fromErrno(errno), "send");
            return;
        }
        unsent_.remove(0, sent);
    }
    writeNotifier_->setEnabled(false);
}

void TClientSocket::connectFinished() {
    connectTimer_.stop();
    state_ = State::Connected;
    writeNotifier_->setEnabled(false);
    readNotifier_->setEnabled(true);
    if (OnConnect) OnConnect(this, &socket_);
}

void TClientSocket::readable() {
    if (state_ != State::Connected) return;
    int waiting = 0;
    if (::ioctl(fd_, FIONREAD, &waiting) == 0 && waiting > 0) {
        if (OnRead) {
            OnRead(this, &socket_);
        } else {
            char discard[4096];
            [[maybe_unused]] ssize_t n = ::recv(fd_, discard, sizeof discard, 0);
        }
        return;
    }
    char probe;
    const ssize_t n = ::recv(fd_, &probe, 1, MSG_PEEK);
    if (n > 0) return; // bytes arrived meanwhile: the next notification reads them
    if (n == 0) {
        // The controller closed the connection in order: no error.
        close();
        return;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return;
    fail(eeReceive, winsock::fromErrno(errno), "recv");
}

void TClientSocket::later(std::function<void()> event) {
    QTimer::singleShot(0, this, [this, event = std::move(event)] { dispatch(event); });
}

void TClientSocket::failLater(TErrorEvent kind, int code, const char* operation) {
    later([this, kind, code, operation, attempt = attempt_] {
        if (attempt == attempt_) fail(kind, code, operation);
    });
}

void TClientSocket::fail(TErrorEvent kind, int code, const char* operation) {
    // The connection is given up first, so that no handler meets it half open; a send error
    // is reported with the connection already closed as well.
    close();
    raiseError(kind, code, operation);
}

void TClientSocket::raiseError(TErrorEvent kind, int code, const char* operation) {
    int ErrorCode = code;
    if (OnError) OnError(this, &socket_, kind, ErrorCode);
    if (ErrorCode != 0)
        throw Failure(QStringLiteral("Erro de socket %1 na operação '%2'")
                          .arg(ErrorCode)
                          .arg(QLatin1String(operation)));
}
