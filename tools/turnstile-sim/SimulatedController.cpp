#include "SimulatedController.h"

#include "turnstile/codec.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sim {

namespace {
constexpr qint64 kChunk = 64 * 1024;

sockaddr_in loopback(quint16 port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}
} // namespace

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents();
    }
    return true;
}

SimulatedController::SimulatedController(Mode mode, QObject* parent) : QObject(parent), mode_(mode) {
    connect(&server_, &QTcpServer::newConnection, this, &SimulatedController::accept);
}

SimulatedController::~SimulatedController() {
    for (int fd : backlogFds_)
        ::close(fd);
}

bool SimulatedController::listen(quint16 port) {
    return listen(QHostAddress::LocalHost, port);
}

bool SimulatedController::listen(const QHostAddress& address, quint16 port) {
    if (mode_ == Mode::Unresponsive) {
        // A listener that never accepts, its queue filled by connections of its own.
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = loopback(port);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 0) != 0) {
            ::close(fd);
            return false;
        }
        socklen_t length = sizeof address;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        backlogFds_.push_back(fd);
        for (int i = 0; i < 3; ++i) {
            int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            sockaddr_in target = loopback(port_);
            ::connect(filler, reinterpret_cast<sockaddr*>(&target), sizeof target);
            backlogFds_.push_back(filler);
        }
        return true;
    }
    if (!server_.listen(address, port)) return false;
    port_ = server_.serverPort();
    // Refused connections need a port where nothing listens: keep the number, close the socket.
    if (mode_ == Mode::Refuse) server_.close();
    return true;
}

void SimulatedController::accept() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        ++accepted_;
        if (mode_ == Mode::CloseOnAccept) {
            socket->disconnectFromHost();
            socket->deleteLater();
            continue;
        }
        current_ = socket;
        ++open_;
        links_[socket].number = accepted_;
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            // What the connection delivered before its end has been taken by now.
            take(socket);
            --open_;
            links_.erase(socket);
            socket->deleteLater();
            emit connectionClosed();
        });
        emit connectionAccepted();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { take(socket); });
    }
}

void SimulatedController::take(QTcpSocket* socket) {
    const auto link = links_.find(socket);
    if (readingPaused_ || !socket->isOpen() || link == links_.end()) return;
    const QByteArray bytes = socket->readAll();
    if (bytes.isEmpty()) return;
    received_.push_back({QDateTime::currentDateTime(), bytes});
    link->second.unscanned += bytes;
    const qsizetype known = frames_.size();
    scan(link->second.unscanned);
    // Copied first: a receiver may reset the connection, which takes its last bytes and ends
    // its link.
    const QList<QByteArray> fresh = frames_.mid(known);
    const int connection = link->second.number;
    for (const QByteArray& f : fresh)
        emit replyReceived(unwrapFrame(f), connection);
}

void SimulatedController::setReadingPaused(bool paused) {
    readingPaused_ = paused;
    if (!paused && current_) take(current_);
}

bool SimulatedController::isConnected() const {
    return current_ && current_->state() == QAbstractSocket::ConnectedState;
}

QByteArray SimulatedController::frame(const QString& text) {
    TByteArray bytes;
    stringToBytes(text, bytes);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

void SimulatedController::sendRead(const QString& comanda) {
    sendRaw(frame(cardReadRequest(comanda)));
}

void SimulatedController::sendRaw(const QByteArray& bytes) {
    if (!isConnected()) return;
    current_->write(bytes);
    current_->flush();
}

void SimulatedController::sendFlood(qint64 count, char fill) {
    if (!isConnected()) return;
    QTcpSocket* socket = current_;
    floodLeft_ += count;
    auto more = [this, socket, fill] {
        while (floodLeft_ > 0 && socket->bytesToWrite() < kChunk) {
            const qint64 n = std::min(kChunk, floodLeft_);
            socket->write(QByteArray(n, fill));
            floodLeft_ -= n;
        }
    };
    connect(socket, &QTcpSocket::bytesWritten, socket, more);
    more();
}

bool SimulatedController::allSent() const {
    return floodLeft_ == 0 && (!current_ || current_->bytesToWrite() == 0);
}

void SimulatedController::resetConnection() {
    if (!isConnected()) return;
    // A zero linger time makes the close send a reset instead of an orderly end.
    const linger immediate{1, 0};
    ::setsockopt(static_cast<int>(current_->socketDescriptor()), SOL_SOCKET, SO_LINGER, &immediate,
                 sizeof immediate);
    current_->abort();
}

void SimulatedController::sendSplit(const QByteArray& bytes, int at) {
    sendRaw(bytes.left(at));
    QTimer::singleShot(kSplitPauseMs, this, [this, rest = bytes.mid(at)] { sendRaw(rest); });
}

void SimulatedController::scan(QByteArray& unscanned) {
    qsizetype i = 0;
    while (i + 3 <= unscanned.size()) {
        if (static_cast<uint8_t>(unscanned[i]) != 0x02) {
            ++i; // not a frame start: skip it
            continue;
        }
        const int n = static_cast<uint8_t>(unscanned[i + 1]) | (static_cast<uint8_t>(unscanned[i + 2]) << 8);
        if (i + n + 5 > unscanned.size()) break;
        frames_ << unscanned.mid(i, n + 5);
        i += n + 5;
    }
    // Only the start of a frame still incomplete is kept for the next bytes.
    unscanned.remove(0, i);
}

QStringList SimulatedController::replies() const {
    QStringList texts;
    for (const QByteArray& f : frames_)
        texts << unwrapFrame(f);
    return texts;
}

bool SimulatedController::waitForConnections(int count, int timeoutMs) {
    return waitUntil([&] { return accepted_ >= count && (mode_ != Mode::Accept || isConnected()); },
                     timeoutMs);
}

bool SimulatedController::waitForReplies(int count, int timeoutMs) {
    return waitUntil([&] { return frames_.size() >= count; }, timeoutMs);
}

} // namespace sim
