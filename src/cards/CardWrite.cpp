#include "cards/CardWrite.h"

#include "database/FirebirdError.h"
#include "database/untMD.h"

namespace cartoes {

namespace {
constexpr uint8_t kAuxiliar = 3;

// Whatever the failed write left on the auxiliary transaction is undone.
void desfazer() {
    MD->FinalizarTransacao(kAuxiliar, false);
}
} // namespace

QString motivoFalhaGravacao(long codigo, const QString& mensagem) {
    if (db::conexaoPerdida(codigo)) return QStringLiteral("conexão com o banco perdida");
    switch (codigo) {
    case isc_unique_key_violation:
    case isc_no_dup:
        return QStringLiteral("cartão já cadastrado");
    case isc_lock_conflict:
    case isc_deadlock:
    case isc_update_conflict:
    case isc_concurrent_transaction:
        return QStringLiteral("cartão em uso por outra conexão ao banco");
    default:
        return QStringLiteral("erro %1 do banco: %2")
            .arg(codigo)
            .arg(mensagem.section(u'\n', 0, 0).trimmed());
    }
}

// The statement layer's begin, statement and commit, with the statement run here so that the
// error code of a failure is known and can be told to the operator.
std::optional<QString> gravar(const QString& sql) {
    try {
        // A failed reconnect leaves the connection closed; a card write opens it again, as a
        // statement does.
        if (!MD->ibdConexao.Connected()) MD->ibdConexao.Open();
        MD->IniciarTransacao(kAuxiliar);
        std::unique_ptr<db::TDataSet> instrucao;
        MD->CriarDataSet(sql, instrucao, kAuxiliar);
        instrucao->ExecSQL();
        MD->ConfirmarTransacao(kAuxiliar);
        return std::nullopt;
    } catch (const db::FirebirdError& e) {
        MD->TratarErro(static_cast<int32_t>(e.code()), e.message());
        desfazer();
        return motivoFalhaGravacao(e.code(), e.message());
    } catch (const Failure& e) {
        // A check of the data-access layer itself.
        desfazer();
        return e.message();
    }
}

} // namespace cartoes
