#include "platform/TClientSocket.h"

#include "platform/failure.h"
#include "platform/guard.h"

namespace winsock {
int fromQt(QAbstractSocket::SocketError error) {
    switch (error) {
    case QAbstractSocket::RemoteHostClosedError:
        return 0;
    case QAbstractSocket::ConnectionRefusedError:
        return kRefused;
    case QAbstractSocket::SocketTimeoutError:
        return kTimedOut;
    case QAbstractSocket::HostNotFoundError:
        return kHostNotFound;
    case QAbstractSocket::NetworkError:
        return kHostUnreachable;
    case QAbstractSocket::SocketAccessError:
        return kAccess;
    case QAbstractSocket::SocketResourceError:
        return kNoBuffers;
    default:
        return kNetworkDown;
    }
}
} // namespace winsock

int TClientWinSocket::ReceiveBuf(void* Buf, int Count) {
    QTcpSocket& tcp = owner_.tcp_;
    if (Buf == nullptr && Count == -1) return Connected() ? static_cast<int>(tcp.bytesAvailable()) : 0;
    if (!Connected() || Count <= 0) return 0;
    return static_cast<int>(tcp.read(static_cast<char*>(Buf), Count));
}

int TClientWinSocket::SendBuf(const void* Buf, int Count) {
    QTcpSocket& tcp = owner_.tcp_;
    if (!Connected()) return 0;
    const qint64 sent = tcp.write(static_cast<const char*>(Buf), Count);
    if (sent < 0) {
        const int code = winsock::fromQt(tcp.error());
        // Reported through the error event first, then the connection is closed in any case.
        try {
            owner_.raiseError(eeSend, code == 0 ? winsock::kNetworkDown : code, QStringLiteral("send"));
        } catch (...) {
            tcp.abort();
            throw;
        }
        tcp.abort();
        return 0;
    }
    // Hand the bytes to the network now, within the event that produced them.
    tcp.flush();
    return static_cast<int>(sent);
}

bool TClientWinSocket::Connected() const {
    return owner_.tcp_.state() == QAbstractSocket::ConnectedState;
}

TClientSocket::TClientSocket() {
    connectTimer_.setSingleShot(true);
    connect(&connectTimer_, &QTimer::timeout, this, [this] { guarded([&] { connectTimedOut(); }); });
    connect(&tcp_, &QTcpSocket::connected, this, [this] {
        connectTimer_.stop();
        guarded([&] {
            if (OnConnect) OnConnect(this, &socket_);
        });
    });
    connect(&tcp_, &QTcpSocket::readyRead, this, [this] {
        guarded([&] {
            if (OnRead) OnRead(this, &socket_);
        });
    });
    connect(&tcp_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        const bool connecting = connectTimer_.isActive();
        connectTimer_.stop();
        const int code = winsock::fromQt(error);
        if (code == 0) return; // the controller closed the connection in order
        guarded([&] {
            raiseError(connecting ? eeConnect : eeReceive, code,
                       connecting ? QStringLiteral("connect") : QStringLiteral("recv"));
        });
    });
}

TClientSocket::~TClientSocket() {
    tcp_.disconnect(this);
    tcp_.abort();
}

bool TClientSocket::Active() const {
    return tcp_.state() != QAbstractSocket::UnconnectedState;
}

void TClientSocket::setActive(bool value) {
    if (value == Active()) return;
    if (!value) {
        connectTimer_.stop();
        tcp_.abort();
        return;
    }
    tcp_.connectToHost(Host, static_cast<quint16>(Port));
    connectTimer_.start(ConnectTimeoutMs);
}

void TClientSocket::connectTimedOut() {
    tcp_.abort();
    raiseError(eeConnect, winsock::kTimedOut, QStringLiteral("connect"));
}

void TClientSocket::raiseError(TErrorEvent kind, int code, const QString& operation) {
    int ErrorCode = code;
    if (OnError) OnError(this, &socket_, kind, ErrorCode);
    if (ErrorCode != 0)
        throw Failure(QStringLiteral("Windows socket error: %1 (%2), on API '%3'")
                          .arg(tcp_.errorString())
                          .arg(ErrorCode)
                          .arg(operation));
}
