#include "platform/TClientSocket.h"

#include "platform/failure.h"
#include "platform/guard.h"

#include <QStringList>
#include <optional>

namespace {
// A dotted address in the short forms the platform's address parsing takes ("127.1" is
// 127.0.0.1, the last part filling the bytes left), with every part in decimal: "010" is ten,
// never eight. Nothing for anything else.
std::optional<uint32_t> dottedAddress(const QString& text) {
    const QStringList parts = text.trimmed().split(u'.');
    if (parts.size() > 4) return std::nullopt;
    uint32_t value = 0;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString& part = parts[i];
        if (part.isEmpty() || part.size() > 10) return std::nullopt;
        uint64_t number = 0;
        for (QChar c : part) {
            if (c < u'0' || c > u'9') return std::nullopt;
            number = number * 10 + (c.unicode() - u'0');
        }
        const bool last = i == parts.size() - 1;
        const int bits = last ? 8 * (4 - static_cast<int>(i)) : 8;
        if (number >> bits != 0) return std::nullopt;
        value = last ? value | static_cast<uint32_t>(number)
                     : value | static_cast<uint32_t>(number) << (24 - 8 * i);
    }
    return value;
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
    if (!Connected()) return 0;
    if (Buf == nullptr && Count == -1) return owner_.tcp_.bytesWaiting();
    if (Count <= 0) return 0;
    // A close or an error shows at the next notification, when nothing is left to read.
    return owner_.tcp_.receive(Buf, Count).bytes;
}

int TClientWinSocket::SendBuf(const void* Buf, int Count) {
    TClientSocket& owner = owner_;
    if (!Connected() || Count <= 0) return 0;
    int sent = 0;
    if (owner.unsent_.isEmpty()) {
        const platform::Transfer done = owner.tcp_.send(Buf, Count);
        if (done.error != 0 && done.error != winsock::kWouldBlock) {
            owner.fail(eeSend, done.error, "send");
            return 0;
        }
        sent = done.bytes;
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
    const std::optional<uint32_t> address = dottedAddress(Host);
    const platform::Endpoint to = platform::ipv4Endpoint(address.value_or(0), static_cast<uint16_t>(Port));
    if (const int error = tcp_.open(to); error != 0)
        throw Failure(
            QStringLiteral("Não foi possível abrir um socket: erro %1 na operação 'socket'").arg(error));
    state_ = State::Connecting;
    ++attempt_;
    readNotifier_ = new QSocketNotifier(tcp_.handle(), QSocketNotifier::Read, this);
    readNotifier_->setEnabled(false);
    connect(readNotifier_, &QSocketNotifier::activated, this, [this] { dispatch([&] { readable(); }); });
    writeNotifier_ = new QSocketNotifier(tcp_.handle(), QSocketNotifier::Write, this);
    connect(writeNotifier_, &QSocketNotifier::activated, this, [this] { dispatch([&] { writable(); }); });

    if (!address) {
        writeNotifier_->setEnabled(false);
        failLater(eeLookup, winsock::kHostNotFound, "connect");
        return;
    }
    if (const int error = tcp_.connect(to); error != 0 && error != winsock::kWouldBlock) {
        // Reported through the message loop, as every outcome of an attempt is.
        writeNotifier_->setEnabled(false);
        failLater(eeConnect, error, "connect");
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
    // The connection is being given up: an error of the close itself has nobody left to tell,
    // and the socket is released either way.
    [[maybe_unused]] const int ignored = tcp_.close();
    state_ = State::Closed;
    unsent_.clear();
    ++attempt_;
}

void TClientSocket::writable() {
    if (state_ == State::Connecting) {
        const int error = tcp_.pendingError();
        if (error == winsock::kWouldBlock) return;
        if (error != 0) {
            fail(eeConnect, error, "connect");
            return;
        }
        connectFinished();
        return;
    }
    while (!unsent_.isEmpty()) {
        const platform::Transfer done = tcp_.send(unsent_.constData(), static_cast<int>(unsent_.size()));
        if (done.error == winsock::kWouldBlock) return;
        if (done.error != 0) {
            fail(eeSend, done.error, "send");
            return;
        }
        unsent_.remove(0, done.bytes);
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
    if (tcp_.bytesWaiting() > 0) {
        if (OnRead) {
            OnRead(this, &socket_);
        } else {
            // Nobody reads them; an error shows at the next notification.
            char discard[4096];
            [[maybe_unused]] const platform::Transfer dropped = tcp_.receive(discard, sizeof discard);
        }
        return;
    }
    const platform::Transfer next = tcp_.peek();
    if (next.bytes > 0) return; // bytes arrived meanwhile: the next notification reads them
    if (next.error == 0) {
        // The controller closed the connection in order: no error.
        close();
        return;
    }
    if (next.error == winsock::kWouldBlock) return;
    fail(eeReceive, next.error, "recv");
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
