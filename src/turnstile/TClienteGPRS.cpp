#include "turnstile/TClienteGPRS.h"

#include "base/untFuncoes.h"
#include "database/untMD.h"
#include "platform/regional.h"
#include "turnstile/codec.h"

#include <QDateTime>
#include <algorithm>

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

void TClienteGPRS::mostrarRecebido(const QString& text) {
    emit linha(Painel::Recebidos, agora() + u' ' + text);
    emit linha(Painel::Recebidos, QString());
}

void TClienteGPRS::doOnConnect(QObject*, TClientWinSocket*) {
    emit conexaoMudou();
    try {
        emit linha(Painel::Eventos, QStringLiteral("Catraca[") + gs_NomeCatraca +
                                        QStringLiteral("] conectada em ") + Host + u'.');
    } catch (const std::exception&) {
        CriarArquivoErro(QStringLiteral("00001.error"), QStringLiteral("00001.error"));
    }
}

void TClienteGPRS::doOnRead(QObject*, TClientWinSocket* Socket) {
    // Every waiting byte goes to the receive buffer at once, also while an earlier read of this
    // turnstile is still being answered further down the stack.
    receber(*Socket);
    if (respondendo_) return;
    respondendo_ = true;
    struct Fim {
        TClienteGPRS& client;
        ~Fim() {
            client.respondendo_ = false;
            client.responderPendentesDepois();
        }
    } fim{*this};

    // A controller has one read outstanding: when several are waiting, it has given up on the
    // older ones, and only the newest is answered. Frames that are no card read are only shown.
    for (;;) {
        mostrarDescartados();
        std::vector<QByteArray> frames = recebidos_.takeFrames();
        if (frames.empty() || Freed()) return;
        if (const qsizetype lost = recebidos_.takeOverflow(); lost > 0)
            GravarLogTXT(QStringLiteral("Catraca[") + gs_NomeCatraca + QStringLiteral("] ") +
                         QString::number(lost) +
                         QStringLiteral(" leituras substituídas por outras mais recentes, sem resposta."));
        std::vector<QString> texts;
        for (const QByteArray& frame : frames)
            texts.push_back(unwrapFrame(frame));
        const auto newest = std::find_if(texts.rbegin(), texts.rend(), isCardReadRequest);
        const auto answered = newest == texts.rend() ? texts.end() : std::prev(newest.base());
        for (auto text = texts.begin(); text != texts.end() && !Freed(); ++text) {
            if (text == answered)
                responder(*text);
            else if (text < answered && isCardReadRequest(*text))
                descartarLeitura(*text);
            else
                mostrarRecebido(displayText(*text));
        }
    }
}

void TClienteGPRS::receber(TClientWinSocket& Socket) {
    const int waiting = std::min(Socket.ReceiveBuf(nullptr, -1), kMaxBytesPerRead);
    QByteArray bytes(waiting, '\0');
    const int read = Socket.ReceiveBuf(bytes.data(), waiting);
    recebidos_.append(QByteArrayView(bytes.constData(), read));
}

void TClienteGPRS::mostrarDescartados() {
    qsizetype count = 0;
    const QByteArray dropped = recebidos_.takeDropped(&count);
    if (count == 0) return;
    QString text = displayText(QString::fromLatin1(dropped));
    if (count > dropped.size()) text += QStringLiteral(" (%1 bytes descartados)").arg(count);
    mostrarRecebido(text);
}

void TClienteGPRS::descartarLeitura(const QString& request) {
    const QString text = displayText(request);
    mostrarRecebido(text);
    GravarLogTXT(QStringLiteral("Catraca[") + gs_NomeCatraca +
                 QStringLiteral("] Leitura substituída por outra mais recente, sem resposta: ") + text);
}

void TClienteGPRS::responder(const QString& request) {
    mostrarRecebido(displayText(request));
    const QString comanda = extractComanda(request);
    const QString comandaMostrada = displayText(comanda);
    emit linha(Painel::Recebidos, agora() + QStringLiteral(" Comanda = ") + comandaMostrada);
    if (comanda.size() > kMaxComanda) {
        GravarLogTXT(QStringLiteral("Catraca[") + gs_NomeCatraca + QStringLiteral("] Comanda com mais de ") +
                     QString::number(kMaxComanda) + QStringLiteral(" caracteres, sem consulta ao banco: ") +
                     comandaMostrada);
        proEnviarPacote(this, kRespostaSemCadastro, comandaMostrada);
        return;
    }
    bool existe = false;
    const bool liberada = MD->VeriVendEmAbert(comanda, existe);
    // Replaced by a rebuild while the decision ran: the controller asks again on the new
    // connection.
    if (Freed()) return;
    // A controller gives up on a read that takes too long and reads the next guest; replies
    // carry no card number, so a late decision must never answer that newer read.
    receber(*Socket());
    if (recebidos_.hasCardRead()) {
        GravarLogTXT(QStringLiteral("Catraca[") + gs_NomeCatraca + QStringLiteral("] Resposta da comanda ") +
                     comandaMostrada +
                     QStringLiteral(" não enviada: chegou uma leitura mais recente durante a consulta."));
        return;
    }
    const QString& resposta =
        liberada ? kRespostaLiberado : (existe ? kRespostaNegado : kRespostaSemCadastro);
    proEnviarPacote(this, resposta, comandaMostrada);
}

void TClienteGPRS::responderPendentesDepois() {
    // Reads that came while a failure unwound the answer to an earlier one are answered from
    // the message loop, not left waiting for the controller's next bytes.
    if (!recebidos_.hasFrames() || Freed()) return;
    later([this] {
        if (!respondendo_) doOnRead(this, Socket());
    });
}

void TClienteGPRS::doError(QObject*, TClientWinSocket*, TErrorEvent, int& ErroCode) {
    emit conexaoMudou();
    if (ErroCode == winsock::kTimedOut)
        emit linha(Painel::Eventos, QStringLiteral("Catraca[") + gs_NomeCatraca +
                                        QStringLiteral("] desligada ou IP[") + Host +
                                        QStringLiteral(" ] inacessível!"));
    GravarLogTXT(QStringLiteral("Catraca[") + gs_NomeCatraca + QStringLiteral("] Código do erro: ") +
                 QString::number(ErroCode));
    emit linha(Painel::Eventos, QStringLiteral("Código do erro: ") + QString::number(ErroCode));
    if (ErroCode != winsock::kTimedOut) {
        GravarLogTXT(QStringLiteral("Criar Arquivo para reinciar"));
        CriarArquivoErro(NomeArquivoErro(ErroCode), QString::number(ErroCode));
    }
    ErroCode = 0;
}

void proEnviarPacote(TClienteGPRS* p_Client, const QString& ps_ComaEnvi, const QString& ps_Comanda) {
    const auto enviado = [p_Client](const QString& texto) { emit p_Client->linha(Painel::Enviados, texto); };
    try {
        enviado(QStringLiteral("Inicio envio: ") + agora() + u' ' + ps_ComaEnvi +
                QStringLiteral(" Comanda: ") + ps_Comanda);
        enviado(QString());
        TByteArray frame;
        stringToBytes(ps_ComaEnvi, frame);
        p_Client->Socket()->SendBuf(frame.data(), static_cast<int>(frame.size()));
        enviado(QStringLiteral("Fim envio: ") + agora() + u' ' + ps_ComaEnvi + QStringLiteral(" Comanda: ") +
                ps_Comanda);
        enviado(QString());
    } catch (const std::exception&) {
        emit p_Client->linha(Painel::Eventos, QStringLiteral("Catraca[") + p_Client->gs_NomeCatraca +
                                                  QStringLiteral("]. Erro ao enviar dados."));
    }
}
