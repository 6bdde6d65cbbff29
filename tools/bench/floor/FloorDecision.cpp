#include "FloorDecision.h"

#include "database/tables.h"
#include "rules/AccessStatements.h"
#include "rules/comanda.h"
#include "turnstile/codec.h"

namespace bench {

namespace {
QString booleano(bool value) {
    return value ? QStringLiteral("-1") : QStringLiteral("0");
}

// The paths of a registered card, once its open sales are known to exist.
FloorPath openSales(FloorDatabase& database, const FloorLog& log, const QDateTime& menor,
                    const QDateTime& maior, const QString& chip) {
    log.line(QStringLiteral("Verificar Itens abertos"));
    const double subtotal =
        database.query(regras::sqlSubtotalItensAbertos(menor, maior, chip)).first.at(0).number();
    log.line(QStringLiteral("subtotal da comanda") + regras::formatoGeral(subtotal));
    const bool nadaAPagar = subtotal == 0.0;
    FloorRows venda;
    if (nadaAPagar) {
        venda = database.query(regras::sqlVendaAberta(menor, maior, chip));
        log.line(QStringLiteral("informãções comanda") + QString::number(venda.count));
    }
    log.line(QStringLiteral("Resultado VerificarTodosItensAbertos") + booleano(nadaAPagar));
    if (!nadaAPagar) {
        log.line(QStringLiteral("Resultado da funçãoVerificar Itens abertos : False"));
        return FloorPath::Refuse;
    }
    log.line(QStringLiteral("Resultado da funçãoVerificar Itens abertos : True"));
    // The sale's update begins the reads' transaction anew and runs on the writes' one.
    database.restartReads();
    const QString update = regras::sqlAlterarSituacaoVenda(
        shop::kVendaFechada, static_cast<int32_t>(venda.first.at(2).raw), venda.first.at(1).dateTime(),
        static_cast<int32_t>(venda.first.at(0).raw));
    database.write(update);
    log.line(QStringLiteral("SQL de alteração da comanda: ") + update);
    log.line(QStringLiteral("Resultado do erro de executarSQL1"));
    database.commitReads();
    log.line(QStringLiteral("Status da Comanda apos estar falsa-1"));
    return FloorPath::Close;
}
} // namespace

const char* floorPathName(FloorPath path) {
    switch (path) {
    case FloorPath::Short:
        return "short";
    case FloorPath::Refuse:
        return "refuse";
    case FloorPath::Close:
        return "close";
    case FloorPath::Unregistered:
        break;
    }
    return "unregistered";
}

const QString& floorReply(FloorPath path) {
    switch (path) {
    case FloorPath::Refuse:
        return kRespostaNegado;
    case FloorPath::Unregistered:
        return kRespostaSemCadastro;
    case FloorPath::Short:
    case FloorPath::Close:
        break;
    }
    return kRespostaLiberado;
}

FloorPath decideRead(FloorDatabase& database, const FloorLog& log, const QString& comanda) {
    const FloorRows dias = database.query(regras::sqlIntervaloCaixaAberto());
    const QDateTime menor = dias.first.at(0).dateTime();
    const QDateTime maior = dias.count < 2 ? menor : dias.last.at(0).dateTime();
    const QString chip = regras::normalizarComanda(comanda);
    log.line(QStringLiteral("Comanda de numero : ") + chip);

    FloorPath path = FloorPath::Unregistered;
    const QString existe = regras::sqlExisteComanda(chip);
    const int cards = database.query(existe).count;
    log.line(existe);
    if (cards > 0) {
        const QString contagem =
            regras::sqlContagemVendasAbertas(menor, maior, regras::sqlFiltroChip(), chip);
        const int64_t abertas = database.query(contagem).first.at(0).raw;
        log.line(contagem);
        path = abertas == 0 ? FloorPath::Short : openSales(database, log, menor, maior, chip);
    }
    database.commitReads();
    return path;
}

} // namespace bench
