#pragma once
// The program's side of one connection to a simulated controller, for the tools' suites: the
// comandas of the reads it got, and replies sent on it.
#include "SimulatedController.h"
#include "turnstile/FrameAssembler.h"
#include "turnstile/codec.h"

#include <QStringList>
#include <QTcpSocket>

class ProgramConnection {
public:
    explicit ProgramConnection(quint16 port) {
        QObject::connect(&socket_, &QTcpSocket::readyRead, [this] {
            frames_.append(socket_.readAll());
            for (const QByteArray& f : frames_.takeFrames())
                reads << extractComanda(unwrapFrame(f));
        });
        socket_.connectToHost(QHostAddress::LocalHost, port);
        connected_ = socket_.waitForConnected(10000);
    }
    bool connected() const { return connected_; }
    void reply(const QString& text) {
        socket_.write(sim::SimulatedController::frame(text));
        socket_.flush();
    }
    void close() { socket_.disconnectFromHost(); }

    QStringList reads;

private:
    QTcpSocket socket_;
    FrameAssembler frames_;
    bool connected_ = false;
};
