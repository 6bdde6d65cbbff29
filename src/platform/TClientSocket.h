#pragma once
// The asynchronous TCP client of the turnstile connections, on the GUI thread: Active starts a
// non-blocking connect and returns at once; the connect, read and error events arrive through
// the message loop with the client and its connection object. Errors carry Winsock numbers; a
// handler that leaves the code non-zero makes the client raise a failure of its own.
//
// Built on the platform's own TCP socket (platform/tcpsocket.h) rather than QTcpSocket, which
// reports a connection reset as an orderly close and buffers whatever a peer sends without limit.
#include "platform/tcpsocket.h"

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <functional>

enum TClientType { ctNonBlocking, ctBlocking };
enum TErrorEvent { eeGeneral, eeSend, eeReceive, eeConnect, eeDisconnect, eeAccept, eeLookup };

class TClientSocket;

// The connection object of a client.
class TClientWinSocket {
public:
    explicit TClientWinSocket(TClientSocket& owner) : owner_(owner) {}
    // With no buffer and a count of -1, the number of bytes waiting (0 when not connected);
    // otherwise reads up to Count bytes and returns how many were read.
    int ReceiveBuf(void* Buf, int Count);
    // Takes the bytes in one call and returns how many were taken; 0 when not connected. What
    // the network cannot take at once is sent as soon as it can. A send error is reported
    // through the error event and the connection is closed.
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
    // Bytes accepted for sending that a controller has not taken yet; beyond this the
    // connection is given up with 10055.
    static constexpr qsizetype kMaxUnsent = 64 * 1024;

    TClientSocket();
    ~TClientSocket() override;

    TClientType ClientType = ctNonBlocking;
    QString Host;
    int Port = 0;
    TClientWinSocket* Socket() { return &socket_; }

    bool Active() const { return state_ != State::Closed; }
    // On: starts a connection attempt; raises a failure when no socket can be opened. Off:
    // closes at once.
    void setActive(bool value);

    // Closes the client and frees it once none of its events is running: a handler of its own
    // may be waiting below a message box on the stack.
    void Free();
    // True between Free and the moment the client is freed.
    bool Freed() const { return freed_; }

    TSocketNotifyEvent OnConnect;
    TSocketNotifyEvent OnRead;
    TSocketErrorEvent OnError;

protected:
    // Runs an event of this client from the message loop, counted as one of its running events.
    void later(std::function<void()> event);

private:
    friend class TClientWinSocket;
    enum class State { Closed, Connecting, Connected };

    template <typename F> void dispatch(F&& event);
    void close();
    void connectFinished();
    void readable();
    void writable();
    void failLater(TErrorEvent kind, int code, const char* operation);
    void fail(TErrorEvent kind, int code, const char* operation);
    void raiseError(TErrorEvent kind, int code, const char* operation);

    platform::TcpSocket tcp_;
    State state_ = State::Closed;
    // Counts attempts, so that an event queued for an earlier one is recognised and ignored.
    unsigned attempt_ = 0;
    // Children of the client; switched off and freed from the message loop when it closes.
    QSocketNotifier* readNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr;
    QByteArray unsent_;
    QTimer connectTimer_;
    TClientWinSocket socket_{*this};
    int running_ = 0;
    bool freed_ = false;
};
