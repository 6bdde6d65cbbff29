// The main window's connection cycle: load the active turnstiles, check each one's
// settings and start its connection; every 30 seconds and on either bottom button, drop every
// connection and build them anew.
#include "base/untFuncoes.h"
#include "database/untMD.h"
#include "platform/convert.h"
#include "platform/failure.h"
#include "platform/guard.h"
#include "shell/untPrincipal.h"
#include "turnstile/ipcheck.h"

namespace {
constexpr int kLimiteLinhasLog = 50;

// A port text as a whole decimal number a TCP port can be; anything else raises EConvertError.
int porta(const QString& texto) {
    const int32_t numero = StrToIntDec(texto);
    if (numero < 0 || numero > 65535)
        throw EConvertError(QStringLiteral("'%1' não é uma porta válida").arg(texto));
    return numero;
}

// Fills a client's settings from the current row of the turnstile query.
void preencher(TClienteGPRS& client, const db::TDataSet& q) {
    client.gs_NomeCatraca = q.FieldByName(QStringLiteral("CAT_DESCRICAO")).AsString();
    client.gs_Ip = q.FieldByName(QStringLiteral("CAT_IP")).AsString();
    client.gs_Porta = q.FieldByName(QStringLiteral("CAT_PORTA")).AsString();
}
} // namespace

// Marks a pass over the client list: a rebuild asked for inside it (the timer ticking in a
// message box's loop) waits until the outermost pass has ended, then runs from the message loop.
// The outermost pass ends the transaction its turnstile queries started.
class TfrmPrincipal::Passagem {
public:
    explicit Passagem(TfrmPrincipal& janela) : janela_(janela) { ++janela_.passagens_; }
    ~Passagem() {
        if (--janela_.passagens_ > 0) return;
        guarded([] { MD->ConfirmarLeitura(); });
        if (!janela_.reconstrucaoPendente_) return;
        janela_.reconstrucaoPendente_ = false;
        QTimer::singleShot(0, &janela_, [j = &janela_] { guarded([&] { j->ReconectarCatracas(); }); });
    }
    Passagem(const Passagem&) = delete;
    Passagem& operator=(const Passagem&) = delete;

private:
    TfrmPrincipal& janela_;
};

void TfrmPrincipal::CarregarCatracas(int32_t pi_Codigo, int32_t pi_PosiArray) {
    const Passagem passagem(*this);
    QString ls_Sql = QStringLiteral(" SELECT CAT_CODIGO,   CAT_DESCRICAO,   CAT_IP,   CAT_PORTA  FROM "
                                    "CADCATRACA  WHERE CAT_ATIVO = 'S' ");
    if (pi_Codigo > 0) ls_Sql += QStringLiteral(" AND CAT_CODIGO = ") + QString::number(pi_Codigo);

    std::unique_ptr<db::TDataSet> q;
    MD->Consultar(ls_Sql, q, 1);
    if (!q) {
        // The statement layer has logged the failure; nothing is loaded or refreshed.
        mmLog->append(QStringLiteral("Não foi possível carregar as catracas do PDV Nutrava."));
        return;
    }
    if (q->RecordCount() == 0)
        mmLog->append(QStringLiteral("Não existe nenhuma catraca cadastrada no PDV Nutrava, ou todas estão "
                                     "inativas. Favor verificar."));
    try {
        if (pi_Codigo < 1) {
            for (q->First(); !q->Eof(); q->Next()) {
                Clients.push_back(std::make_unique<TClienteGPRS>());
                TClienteGPRS& client = *Clients.back();
                connect(&client, &TClienteGPRS::linha, this, &TfrmPrincipal::mostrarLinha);
                connect(&client, &TClienteGPRS::conexaoMudou, this, &TfrmPrincipal::atualizarBandeja);
                client.ClientType = ctNonBlocking;
                client.gi_Codigo = q->FieldByName(QStringLiteral("CAT_CODIGO")).AsInteger();
                preencher(client, *q);
            }
        } else {
            TClienteGPRS& client = *Clients.at(static_cast<size_t>(pi_PosiArray));
            if (q->RecordCount() > 0) {
                preencher(client, *q);
            } else {
                client.gs_NomeCatraca.clear();
                client.gs_Ip.clear();
                client.gs_Porta.clear();
            }
        }
    } catch (const std::exception&) {
        CriarArquivoErro(QStringLiteral("00002.error"), QStringLiteral("00002.error"));
    }
}

void TfrmPrincipal::ConectarCatracas() {
    const Passagem passagem(*this);
    try {
        if (mmLog->lineCount() > kLimiteLinhasLog) mmLog->clearLines();
        const int total = TotalClients();
        for (int i = 0; i < total; ++i) {
            TClienteGPRS* client = Clients[static_cast<size_t>(i)].get();
            mmLog->append(QStringLiteral("Tentando estabelecer comunicação com a catraca[ ") +
                          client->gs_NomeCatraca + QStringLiteral("]..."));
            CarregarCatracas(client->gi_Codigo, i);
            if (client->gs_Ip.isEmpty()) {
                mmLog->append(QStringLiteral("Catraca[") + client->gs_NomeCatraca +
                              QStringLiteral("].O \"IP da Catraca\" precisa ser informado no PDV Nutrava."));
            } else if (client->gs_Porta.isEmpty()) {
                mmLog->append(
                    QStringLiteral("Catraca[") + client->gs_NomeCatraca +
                    QStringLiteral("]. A \"Porta da Catraca\" precisa ser informada no PDV Nutrava."));
            } else if (fncIsIP(client->gs_Ip)) {
                try {
                    client->Host = client->gs_Ip;
                    client->Port = porta(client->gs_Porta);
                    client->setActive(true);
                } catch (const std::exception&) {
                    GravarLogTXT(QStringLiteral("Criar Arquivo para reinciar"));
                    CriarArquivoErro(QStringLiteral("00001.error"), QStringLiteral("00001.error"));
                }
            } else {
                mmLog->append(QStringLiteral("Catraca[ ") + client->gs_NomeCatraca +
                              QStringLiteral("]. O IP configurado no PDV Nutrava está inválido."));
            }
        }
    } catch (const std::exception&) {
        // A failure here ends the pass; the next rebuild starts a new one.
    }
}

void TfrmPrincipal::ConfigurarCatracas() {
    primeiraPassagemFeita_ = true;
    const Passagem passagem(*this);
    CarregarCatracas(0, 0);
    ConectarCatracas();
    atualizarBandeja();
}

void TfrmPrincipal::ReconectarCatracas() {
    if (passagens_ > 0) {
        reconstrucaoPendente_ = true;
        return;
    }
    // A client whose handler waits below a message box on the stack is closed now and freed
    // when that handler returns.
    for (auto& client : Clients)
        client.release()->Free();
    Clients.clear();
    ConfigurarCatracas();
}

void TfrmPrincipal::btnReconectarCatracaClick(QObject*) {
    mmLog->append(QStringLiteral("Inicio do processo para reconectar todas as catracas..."));
    ReconectarCatracas();
}

void TfrmPrincipal::tmrConectarCatracasTimer(QObject*) {
    // A tick inside a start-up box, before the window's first pass, would add a second set of
    // connections to the ones that pass makes.
    if (!primeiraPassagemFeita_) return;
    ReconectarCatracas();
}
