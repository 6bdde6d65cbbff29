#pragma once
// One turnstile connection: a client socket with the turnstile's code, description, IP text and
// port text, its receive buffer, and the handlers of its three events. What it has to show goes
// out as pane lines; it knows nothing of the window that shows them.
#include "platform/TClientSocket.h"
#include "turnstile/FrameAssembler.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

// The panes a connection's lines are meant for: received, sent, and the event log.
enum class Painel { Recebidos, Enviados, Eventos };

class TClienteGPRS : public TClientSocket {
    Q_OBJECT
public:
    // Bytes taken from the connection in one read event; more wait for the next one, so that a
    // controller that floods its connection cannot hold the other turnstiles up.
    static constexpr int kMaxBytesPerRead = 64 * 1024;
    // No card number is longer: a longer comanda is refused without asking the database.
    static constexpr qsizetype kMaxComanda = 40;

    TClienteGPRS();

    int32_t gi_Codigo = 0;
    QString gs_NomeCatraca;
    QString gs_Ip;
    QString gs_Porta;

    void doOnConnect(QObject* Sender, TClientWinSocket* Socket);
    void doOnRead(QObject* Sender, TClientWinSocket* Socket);
    void doError(QObject* Sender, TClientWinSocket* Socket, TErrorEvent ErrorEvent, int& ErroCode);

signals:
    // A line for one of the panes, in the order the connection wrote them.
    void linha(Painel painel, const QString& texto);
    // The connection came up or went down.
    void conexaoMudou();

private:
    void mostrarRecebido(const QString& text);
    void receber(TClientWinSocket& Socket);
    void mostrarDescartados();
    void descartarLeitura(const QString& request);
    // Decides a card-read request and answers it, unless a newer one came meanwhile.
    void responder(const QString& request);
    void responderPendentesDepois();

    FrameAssembler recebidos_;
    // True while a read of this turnstile is being answered: a read event nested inside it (a
    // message box's loop) only fills the buffer, and the outer one answers what came.
    bool respondendo_ = false;
};

// Frames a reply and sends it on the client's connection, echoing the start and the end of the
// send in the sent pane.
void proEnviarPacote(TClienteGPRS* p_Client, const QString& ps_ComaEnvi, const QString& ps_Comanda);
