#include "turnstile/TClienteGPRS.h"

#include "database/untMD.h"
#include "platform/regional.h"
#include "shell/untFuncoes.h"
#include "shell/untPrincipal.h"
#include "turnstile/codec.h"

#include <QByteArray>
#include <QDateTime>

namespace {
QString agora() {
    return regional::shortDateLongTime(QDateTime::currentDateTime());
}
} // namespace

TClienteGPRS::TClienteGPRS() {
    OnConnect = [this](QObject* Sender, TClientWinSocket* Socket) { doOnConnect(Sender, Socket); };
    OnRead = [this](QObject* Sender, TClientWinSocket* Socket) { doOnRead(Sender, Socket); };
    OnError = [this](QObject* Sender, TClientWinSocket* Socket, TErrorEvent ErrorEvent, int& ErroCode) {
        doError(Sender, Socket, ErrorEvent, ErroCode);
    };
}

void TClienteGPRS::doOnConnect(QObject*, TClientWinSocket*) {
    try {
        frmPrincipal->mmLog->append(QStringLiteral("Catraca[") + gs_NomeCatraca +
                                    QStringLiteral("] conectada em ") + Host + u'.');
    } catch (const std::exception&) {
        CriarArquivoErro(QStringLiteral("00001.error"), QStringLiteral("00001.error"));
    }
}

void TClienteGPRS::doOnRead(QObject* Sender, TClientWinSocket* Socket) {
    // One read is one frame: nothing is kept from one read to the next.
    const int waiting = Socket->ReceiveBuf(nullptr, -1);
    QByteArray bytes(waiting, '\0');
    Socket->ReceiveBuf(bytes.data(), waiting);
    const QString text = unwrapFrame(bytes);

    TextPane* received = frmPrincipal->mmRecebidosAscii;
    received->append(agora() + u' ' + text);
    received->append(QString());
    if (!isCardReadRequest(text)) return;

    const QString comanda = extractComanda(text);
    received->append(agora() + QStringLiteral(" Comanda = ") + comanda);
    bool existe = false;
    const bool liberada = MD->VeriVendEmAbert(comanda, existe);
    const QString& resposta =
        liberada ? kRespostaLiberado : (existe ? kRespostaNegado : kRespostaSemCadastro);
    proEnviarPacote(static_cast<TClienteGPRS*>(Sender), resposta, comanda);
}

void TClienteGPRS::doError(QObject*, TClientWinSocket*, TErrorEvent, int& ErroCode) {
    TextPane* log = frmPrincipal->mmLog;
    if (ErroCode == winsock::kTimedOut)
        log->append(QStringLiteral("Catraca[") + gs_NomeCatraca + QStringLiteral("] desligada ou IP[") +
                    Host + QStringLiteral(" ] inacessível!"));
    GravarLogTXT(QStringLiteral("Catraca[") + gs_NomeCatraca + QStringLiteral("] Código do erro: ") +
                 QString::number(ErroCode));
    log->append(QStringLiteral("Código do erro: ") + QString::number(ErroCode));
    if (ErroCode != winsock::kTimedOut) {
        GravarLogTXT(QStringLiteral("Criar Arquivo para reinciar"));
        CriarArquivoErro(NomeArquivoErro(ErroCode), QString::number(ErroCode));
    }
    ErroCode = 0;
}

void proEnviarPacote(TClienteGPRS* p_Client, const QString& ps_ComaEnvi, const QString& ps_Comanda) {
    TextPane* sent = frmPrincipal->mmEnviadosString;
    try {
        sent->append(QStringLiteral("Inicio envio: ") + agora() + u' ' + ps_ComaEnvi +
                     QStringLiteral(" Comanda: ") + ps_Comanda);
        sent->append(QString());
        TByteArray frame;
        stringToBytes(ps_ComaEnvi, frame);
        p_Client->Socket()->SendBuf(frame.data(), static_cast<int>(frame.size()));
        sent->append(QStringLiteral("Fim envio: ") + agora() + u' ' + ps_ComaEnvi +
                     QStringLiteral(" Comanda: ") + ps_Comanda);
        sent->append(QString());
    } catch (const std::exception&) {
        frmPrincipal->mmLog->append(QStringLiteral("Catraca[") + p_Client->gs_NomeCatraca +
                                    QStringLiteral("]. Erro ao enviar dados."));
    }
}
