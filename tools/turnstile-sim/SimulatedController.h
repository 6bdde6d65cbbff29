#pragma once
// A turnstile controller on a loopback port, as the program meets it: it waits for the
// program's connection, sends card-read requests framed as the controllers do, and records
// every byte it receives. It can also misbehave: refuse connections, close them at once, or
// leave connection attempts hanging with a full backlog.
#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>
#include <unordered_map>
#include <vector>

namespace sim {

// Runs the event loop until the condition holds (true) or the time is up (false).
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 30000);

class SimulatedController : public QObject {
    Q_OBJECT
public:
    enum class Mode {
        Accept,        // accept and keep the connection
        CloseOnAccept, // accept and close the connection in order at once
        Refuse,        // nothing listens: connections are refused
        Unresponsive,  // a listener whose backlog is full: connection attempts hang
    };

    struct Chunk {
        QDateTime at;
        QByteArray bytes;
    };

    explicit SimulatedController(Mode mode = Mode::Accept, QObject* parent = nullptr);
    ~SimulatedController() override;

    // Listens on 127.0.0.1 (any free port when 0). False when the port cannot be had.
    bool listen(quint16 port = 0);
    // Listens on another address, for a technician's simulator on the venue's network.
    bool listen(const QHostAddress& address, quint16 port);
    quint16 port() const { return port_; }

    bool isConnected() const;
    // Connections accepted and not closed yet: the program's newest, and older ones it has not
    // closed so far.
    int openConnections() const { return open_; }
    // Connections are numbered from 1 in the order they were accepted; the newest one's number
    // is the count so far.
    int connectionsAccepted() const { return accepted_; }

    // Sends on the newest connection.
    void sendRead(const QString& comanda);
    void sendRaw(const QByteArray& bytes);
    // Sends the bytes in two writes, the second kSplitPauseMs after the first, so that they
    // arrive as two reads.
    static constexpr int kSplitPauseMs = 200;
    void sendSplit(const QByteArray& bytes, int at);

    // Sends count bytes of fill on the newest connection, a chunk at a time as the program takes
    // them, so that the simulator itself holds little of it.
    void sendFlood(qint64 count, char fill);
    // A controller that reads slowly: while paused, what the program sends waits unread.
    void setReadingPaused(bool paused);
    // True once every byte given to send has left the simulator.
    bool allSent() const;

    // Ends the newest connection with a reset (RST), as a controller that restarts does.
    void resetConnection();

    // What arrived, read by read, and the frames found in it.
    const std::vector<Chunk>& received() const { return received_; }
    QList<QByteArray> frames() const { return frames_; }
    // The payload texts of the frames received.
    QStringList replies() const;

    // Waits, running the event loop, until the condition holds or the time is up.
    bool waitForConnections(int count, int timeoutMs = 30000);
    bool waitForReplies(int count, int timeoutMs = 30000);

    static QByteArray frame(const QString& text);
    // What a noisy line puts before a frame; none of these bytes can start one.
    inline static const QByteArray kNoise{"\r\nnoise\x01\xff", 9};

signals:
    void connectionAccepted();
    void connectionClosed();
    // A frame the program sent on the connection of that number.
    void replyReceived(const QString& text, int connection);

private:
    void accept();

    Mode mode_;
    QTcpServer server_;
    QPointer<QTcpSocket> current_;
    quint16 port_ = 0;
    int accepted_ = 0;
    int open_ = 0;
    std::vector<Chunk> received_;
    // An open connection: its number, and the bytes it delivered that are not yet part of a
    // frame (each byte is looked at once).
    struct Link {
        int number = 0;
        QByteArray unscanned;
    };
    std::unordered_map<QTcpSocket*, Link> links_;
    QList<QByteArray> frames_;
    qint64 floodLeft_ = 0;
    bool readingPaused_ = false;
    void take(QTcpSocket* socket);
    void scan(QByteArray& unscanned);
    std::vector<int> backlogFds_;
};

} // namespace sim
