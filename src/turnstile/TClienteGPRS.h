#pragma once
// One turnstile connection: a client socket with the turnstile's code, description, IP text and
// port text, and the handlers of its three events.
#include "platform/TClientSocket.h"

#include <QString>
#include <cstdint>

class TClienteGPRS : public TClientSocket {
    Q_OBJECT
public:
    TClienteGPRS();

    int32_t gi_Codigo = 0;
    QString gs_NomeCatraca;
    QString gs_Ip;
    QString gs_Porta;

    void doOnConnect(QObject* Sender, TClientWinSocket* Socket);
    void doOnRead(QObject* Sender, TClientWinSocket* Socket);
    void doError(QObject* Sender, TClientWinSocket* Socket, TErrorEvent ErrorEvent, int& ErroCode);
};

// Frames a reply and sends it on the client's connection, echoing the start and the end of the
// send in the sent pane.
void proEnviarPacote(TClienteGPRS* p_Client, const QString& ps_ComaEnvi, const QString& ps_Comanda);
