// The statement layer of the data module: every query and statement of the program runs here,
// and database errors come back as result codes.
#include "base/untFuncoes.h"
#include "database/FirebirdError.h"
#include "database/untMD.h"
#include "platform/dialogs.h"
#include "platform/termination.h"

namespace {
constexpr uint8_t kResultadoOk = 1;
constexpr uint8_t kParametroRecusado = 3;

bool seletorValido(uint8_t ComponenteTransacao) {
    return ComponenteTransacao >= 1 && ComponenteTransacao <= 5;
}
} // namespace

db::Transaction* TMD::TransacaoDoSeletor(uint8_t ComponenteTransacao) {
    switch (ComponenteTransacao) {
    case 1:
        return &ibtPrincipal;
    case 3:
        return &ibtAuxiliar;
    case 5:
        return &ibtTravamento;
    default:
        return nullptr;
    }
}

db::Transaction& TMD::TransacaoDaInstrucao(uint8_t ComponenteTransacao) {
    db::Transaction* own = TransacaoDoSeletor(ComponenteTransacao);
    return own != nullptr ? *own : ibtPrincipal;
}

void TMD::CriarDataSet(const QString& sSQL, std::unique_ptr<db::TDataSet>& Obj, uint8_t ComponenteTransacao) {
    if (!seletorValido(ComponenteTransacao)) {
        dialogs::error(QStringLiteral("Parâmetro Inválido:") + QChar(13) +
                       QStringLiteral("   ComponenteTransacao, procedimento CriarDataSet."));
        return;
    }
    Obj = std::make_unique<db::TDataSet>(ibdConexao, TransacaoDaInstrucao(ComponenteTransacao));
    Obj->SQL = sSQL;
}

uint8_t TMD::Consultar(const QString& sSQL, std::unique_ptr<db::TDataSet>& Obj, uint8_t ComponenteTransacao) {
    std::unique_ptr<db::TDataSet> query;
    CriarDataSet(sSQL, query, ComponenteTransacao);
    // A refused selector opens nothing.
    if (!query) {
        Obj.reset();
        return 0;
    }
    Obj = std::move(query);
    try {
        Obj->Open();
        Obj->Last();
        Obj->First();
    } catch (const db::FirebirdError& e) {
        Obj.reset();
        return TratarErro(static_cast<int32_t>(e.code()), e.message());
    }
    RegistrarConexao(true);
    return kResultadoOk;
}

uint8_t TMD::ExecutarSQL(const QString& sSQL, uint8_t Transacao, uint8_t ComponenteTransacao) {
    if (Transacao > 3) {
        dialogs::warning(QStringLiteral("Parâmetro TRANSACAO inválido."));
        return kParametroRecusado;
    }
    if (!seletorValido(ComponenteTransacao)) {
        dialogs::error(QStringLiteral("Parâmetro Inválido:") + QChar(13) +
                       QStringLiteral("   ComponenteTransacao, função ExecutarSQL."));
        return kParametroRecusado;
    }
    if (Transacao == 1 || Transacao == 3) IniciarTransacao(ComponenteTransacao);
    std::unique_ptr<db::TDataSet> statement;
    CriarDataSet(sSQL, statement, ComponenteTransacao);
    uint8_t result = kResultadoOk;
    try {
        statement->ExecSQL();
    } catch (const db::FirebirdError& e) {
        result = TratarErro(static_cast<int32_t>(e.code()), e.message());
    }
    statement.reset();
    if (result == kResultadoOk) RegistrarConexao(true);
    if (result == kResultadoOk && (Transacao == 2 || Transacao == 3)) ConfirmarTransacao(ComponenteTransacao);
    return result;
}

void TMD::IniciarTransacao(uint8_t ComponenteTransacao) {
    CancelarTransacao(ComponenteTransacao);
    if (db::Transaction* t = TransacaoDoSeletor(ComponenteTransacao)) t->StartTransaction();
}

void TMD::ConfirmarTransacao(uint8_t ComponenteTransacao) {
    db::Transaction* t = TransacaoDoSeletor(ComponenteTransacao);
    if (t != nullptr && t->InTransaction()) t->Commit();
}

void TMD::CancelarTransacao(uint8_t ComponenteTransacao) {
    db::Transaction* t = TransacaoDoSeletor(ComponenteTransacao);
    if (t != nullptr && t->InTransaction()) t->Rollback();
}

void TMD::FinalizarTransacao(uint8_t ComponenteTransacao, bool confirmar) {
    try {
        if (confirmar)
            ConfirmarTransacao(ComponenteTransacao);
        else
            CancelarTransacao(ComponenteTransacao);
    } catch (const db::FirebirdError& e) {
        TratarErro(static_cast<int32_t>(e.code()), e.message());
    }
}

uint8_t TMD::TratarErro(int32_t ErrCodigo, const QString& ErrMensagem) {
    GravarLogTXT(QStringLiteral("Erro = ") + QString::number(ErrCodigo) + QStringLiteral(", Mensagem = ") +
                 ErrMensagem);
    if (!db::conexaoPerdida(ErrCodigo)) return 0;
    RegistrarConexao(false);
    // The wait ends early only on a termination request; the program is then closing, and
    // nothing is reopened.
    if (platform::waitForTermination(EsperaReconexaoMs)) return 0;
    if (ibdConexao.Connected()) ibdConexao.Close();
    if (!ibdConexao.Connected()) {
        try {
            ibdConexao.Open();
            RegistrarConexao(true);
        } catch (const std::exception&) {
            GravarLogTXT(QStringLiteral("Não foi possível restabelecer a conexão com o banco."));
            // The outside agent watches for this one name, whichever code reported the loss.
            CriarArquivoErro(NomeArquivoErro(isc_network_error), QString::number(isc_network_error));
        }
    }
    return 0;
}

void TMD::RegistrarConexao(bool responde) {
    if (responde == !semConexaoDesde_.isValid()) return;
    semConexaoDesde_ = responde ? QDateTime() : QDateTime::currentDateTime();
    if (AoMudarConexao) AoMudarConexao();
}
