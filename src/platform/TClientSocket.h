#pragma once
// The asynchronous TCP client of the turnstile connections, over QTcpSocket on the GUI thread:
// Active starts a connection attempt and returns at once; the connect, read and error events
// arrive through the message loop with the client and its connection object. Errors carry
// Winsock numbers; a handler that leaves the code non-zero makes the client raise a failure of
// its own.
#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QTimer>
#include <cstdint>
#include <functional>

enum TClientType { ctNonBlocking, ctBlocking };
enum TErrorEvent { eeGeneral, eeSend, eeReceive, eeConnect, eeDisconnect, eeAccept, eeLookup };

// Winsock numbers of the errors the turnstile links meet.
namespace winsock {
inline constexpr int kAccess = 10013;
inline constexpr int kNetworkDown = 10050;
inline constexpr int kNoBuffers = 10055;
inline constexpr int kTimedOut = 10060;
inline constexpr int kRefused = 10061;
inline constexpr int kHostUnreachable = 10065;
inline constexpr int kHostNotFound = 11001;

// The Winsock number of a Qt socket error; 0 for an orderly close by the peer.
int fromQt(QAbstractSocket::SocketError error);
} // namespace winsock

class TClientSocket;

// The connection object of a client.
class TClientWinSocket {
public:
    explicit TClientWinSocket(TClientSocket& owner) : owner_(owner) {}
    // With no buffer and a count of -1, the number of bytes waiting (0 when not connected);
    // otherwise reads up to Count bytes and returns how many were read.
    int ReceiveBuf(void* Buf, int Count);
    // Sends the bytes in one call and returns how many were taken; 0 when not connected. A send
    // error is reported through the error event and the connection is closed.
    int SendBuf(const void* Buf, int Count);
    bool Connected() const;

private:
    TClientSocket& owner_;
};

class TClientSocket : public QObject {
    Q_OBJECT
public:
    using TSocketNotifyEvent = std::function<void(QObject* Sender, TClientWinSocket* Socket)>;
    using TSocketErrorEvent = std::function<void(QObject* Sender, TClientWinSocket* Socket,
                                                 TErrorEvent ErrorEvent, int& ErrorCode)>;

    // Connection attempts give up after this long with 10060, as the platform's own connect.
    static inline int ConnectTimeoutMs = 21000;

    TClientSocket();
    ~TClientSocket() override;

    TClientType ClientType = ctNonBlocking;
    QString Host;
    int Port = 0;
    TClientWinSocket* Socket() { return &socket_; }

    bool Active() const;
    void setActive(bool value);

    TSocketNotifyEvent OnConnect;
    TSocketNotifyEvent OnRead;
    TSocketErrorEvent OnError;

private:
    friend class TClientWinSocket;
    void raiseError(TErrorEvent kind, int code, const QString& operation);
    void connectTimedOut();

    QTcpSocket tcp_;
    QTimer connectTimer_;
    TClientWinSocket socket_{*this};
};
