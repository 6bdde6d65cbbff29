// The comanda access decision: release, refusal or unregistered card, closing an open sale that
// has nothing to pay. Operations of the data module.
#include "database/FirebirdError.h"
#include "database/tables.h"
#include "database/untMD.h"
#include "rules/AccessStatements.h"
#include "rules/comanda.h"
#include "base/untFuncoes.h"

namespace {
// A query of the decision failed; the statement layer has logged it.
struct ConsultaFalhou : std::exception {
    const char* what() const noexcept override { return "Uma consulta da decisão de acesso falhou"; }
};

QString booleano(bool value) {
    return value ? QStringLiteral("-1") : QStringLiteral("0");
}
} // namespace

std::unique_ptr<db::TDataSet> TMD::ConsultarOuFalhar(const QString& sSQL, bool registrar) {
    std::unique_ptr<db::TDataSet> q;
    const uint8_t resultado = Consultar(sSQL, q, 1);
    if (registrar) GravarLogTXT(sSQL);
    if (resultado != 1 || !q) throw ConsultaFalhou{};
    return q;
}

void TMD::ObterIntervaloCaixaAberto() {
    auto q = ConsultarOuFalhar(regras::sqlIntervaloCaixaAberto());
    gd_MenorDataAberta = q->FieldByName(QStringLiteral("CAI_DATA")).AsDateTime();
    if (q->RecordCount() < 2) {
        gd_MaiorDataAberta = gd_MenorDataAberta;
    } else {
        q->Last();
        gd_MaiorDataAberta = q->FieldByName(QStringLiteral("CAI_DATA")).AsDateTime();
    }
}

bool TMD::ExisteComanda(const QString& ps_Comanda) {
    const QString ls_Sql = regras::sqlExisteComanda(ps_Comanda);
    auto q = ConsultarOuFalhar(ls_Sql, true);
    return q->RecordCount() > 0;
}

bool TMD::VerificarStatus(const QString& ps_Comanda) {
    const QString ls_Sql = regras::sqlContagemVendasAbertas(gd_MenorDataAberta, gd_MaiorDataAberta,
                                                            regras::sqlFiltroChip(), ps_Comanda);
    auto q = ConsultarOuFalhar(ls_Sql, true);
    return q->FieldByName(QStringLiteral("QTDE")).AsInteger() == 0;
}

bool TMD::VeriVendEmAbert(QString ps_Comanda, bool& pb_ExisteComanda) {
    pb_ExisteComanda = true;
    bool liberada = false;
    try {
        liberada = [&] {
            ObterIntervaloCaixaAberto();
            ps_Comanda = regras::normalizarComanda(ps_Comanda);
            GravarLogTXT(QStringLiteral("Comanda de numero : ") + ps_Comanda);
            if (!ExisteComanda(ps_Comanda)) {
                pb_ExisteComanda = false;
                return false;
            }
            if (VerificarStatus(ps_Comanda)) return true;

            GravarLogTXT(QStringLiteral("Verificar Itens abertos"));
            int32_t venControle = 0, lojaCodigo = 0;
            QDateTime caiData;
            if (!VerificarTodosItensAbertos(ps_Comanda, venControle, caiData, lojaCodigo)) {
                GravarLogTXT(QStringLiteral("Resultado da funçãoVerificar Itens abertos : False"));
                return false;
            }
            GravarLogTXT(QStringLiteral("Resultado da funçãoVerificar Itens abertos : True"));
            const bool fechada = AlterarSituacaoVenda(shop::kVendaFechada, venControle, caiData, lojaCodigo);
            GravarLogTXT(QStringLiteral("Status da Comanda apos estar falsa") + booleano(fechada));
            return fechada;
        }();
    } catch (const ConsultaFalhou&) {
        // An access decision fails closed: the card is refused.
        pb_ExisteComanda = true;
    } catch (const db::FirebirdError& e) {
        // A begin or commit around the sale update, which the statement layer does not guard,
        // failed: handled like a failed query, the lost connection recovered, the card refused.
        TratarErro(static_cast<int32_t>(e.code()), e.message());
        pb_ExisteComanda = true;
    }
    ConfirmarLeitura();
    return liberada;
}

bool TMD::VerificarTodosItensAbertos(const QString& ps_comanda, int32_t& pi_venControle,
                                     QDateTime& pd_CaiData, int32_t& pi_LojaCodigo) {
    auto soma = ConsultarOuFalhar(
        regras::sqlSubtotalItensAbertos(gd_MenorDataAberta, gd_MaiorDataAberta, ps_comanda));
    const double subtotal = soma->FieldByName(QStringLiteral("SUBTOTAL")).AsFloat();
    const bool nadaAPagar = subtotal == 0.0;
    GravarLogTXT(QStringLiteral("subtotal da comanda") + regras::formatoGeral(subtotal));
    if (nadaAPagar) {
        auto venda =
            ConsultarOuFalhar(regras::sqlVendaAberta(gd_MenorDataAberta, gd_MaiorDataAberta, ps_comanda));
        GravarLogTXT(QStringLiteral("informãções comanda") + QString::number(venda->RecordCount()));
        pi_venControle = venda->FieldByName(QStringLiteral("VEN_CONTROLE")).AsInteger();
        pi_LojaCodigo = venda->FieldByName(QStringLiteral("LOJ_CODIGO")).AsInteger();
        pd_CaiData = venda->FieldByName(QStringLiteral("CAI_DATA")).AsDateTime();
    }
    GravarLogTXT(QStringLiteral("Resultado VerificarTodosItensAbertos") + booleano(nadaAPagar));
    return nadaAPagar;
}

bool TMD::AlterarSituacaoVenda(const QString& ps_VenSituacao, int32_t pi_venControle,
                               const QDateTime& pd_CaiData, int32_t pi_LojaCodigo) {
    IniciarTransacao(1);
    const QString ls_Sql =
        regras::sqlAlterarSituacaoVenda(ps_VenSituacao, pi_LojaCodigo, pd_CaiData, pi_venControle);
    const uint8_t resultado = ExecutarSQL(ls_Sql, 3, 3);
    GravarLogTXT(QStringLiteral("SQL de alteração da comanda: ") + ls_Sql);
    GravarLogTXT(QStringLiteral("Resultado do erro de executarSQL") + QString::number(resultado));
    // A failed update leaves the auxiliary transaction open with its row lock: undone here. The
    // principal transaction holds only reads.
    if (resultado != 1) FinalizarTransacao(3, false);
    ConfirmarLeitura();
    return resultado == 1;
}
