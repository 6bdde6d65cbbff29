#include "Gate.h"

#include "turnstile/codec.h"

namespace sim {

Gate::Gate(SimulatedController& controller, QObject* parent) : QObject(parent), controller_(controller) {
    patience_.setSingleShot(true);
    connect(&patience_, &QTimer::timeout, this, &Gate::patienceRunOut);
    connect(&controller_, &SimulatedController::replyReceived, this, &Gate::take);
    connect(&controller_, &SimulatedController::connectionAccepted, this, &Gate::resendWhenAlone);
    connect(&controller_, &SimulatedController::connectionClosed, this, &Gate::connectionClosed);
}

QByteArray Gate::frameOf(const QString& comanda) {
    return SimulatedController::frame(cardReadRequest(comanda));
}

void Gate::read(const QString& comanda, const QByteArray& before, int splitAt) {
    waiting_ = true;
    comanda_ = comanda;
    sentAt_ = QDateTime::currentDateTime();
    clock_.start();
    sentOn_ = controller_.isConnected() ? controller_.connectionsAccepted() : 0;
    const QByteArray bytes = before + frameOf(comanda);
    if (splitAt > 0)
        controller_.sendSplit(bytes, splitAt);
    else
        controller_.sendRaw(bytes);
    if (sentOn_ != 0) waitForReply(patienceMs_ + (splitAt > 0 ? SimulatedController::kSplitPauseMs : 0));
}

void Gate::forget() {
    waiting_ = false;
    patience_.stop();
}

void Gate::waitForReply(int ms) {
    if (patienceMs_ > 0) patience_.start(ms);
}

void Gate::take(const QString& reply, int connection) {
    if (!waiting_ || connection != sentOn_) {
        emit stray(reply, connection);
        return;
    }
    const qint64 waitedUs = clock_.nsecsElapsed() / 1000;
    forget();
    emit replied(comanda_, reply, waitedUs);
}

void Gate::connectionClosed() {
    if (!waiting_) return;
    if (controller_.isConnected()) return resendWhenAlone();
    sentOn_ = 0;
    patience_.stop();
    emit strandedRead(comanda_);
}

void Gate::resendWhenAlone() {
    if (!waiting_ || !controller_.isConnected() || controller_.openConnections() != 1) return;
    if (sentOn_ == controller_.connectionsAccepted()) return;
    sentOn_ = controller_.connectionsAccepted();
    emit resent(comanda_);
    controller_.sendRaw(frameOf(comanda_));
    waitForReply(patienceMs_);
}

void Gate::patienceRunOut() {
    forget();
    emit gaveUp(comanda_);
}

} // namespace sim
