#include "FloorTexts.h"

#include "cards/CardStatements.h"
#include "cards/checkdigit.h"
#include "platform/regional.h"
#include "rules/AccessStatements.h"

#include <QProcess>

namespace bench {

QString floorTextsDiffer(const QString& floorPath) {
    const QString chip = QStringLiteral("1000001");
    const QDateTime menor(QDate(2021, 5, 3), QTime(0, 0)), maior(QDate(2021, 5, 4), QTime(0, 0));
    const QStringList expected{
        regras::sqlIntervaloCaixaAberto(),
        regras::sqlExisteComanda(chip),
        regras::sqlContagemVendasAbertas(menor, maior, regras::sqlFiltroChip(), chip),
        regras::sqlSubtotalItensAbertos(menor, maior, chip),
        regras::sqlVendaAberta(menor, maior, chip),
        regras::sqlAlterarSituacaoVenda(QStringLiteral("C"), 1, menor, 57),
        cartoes::sqlInserirCartao(chip.toLongLong(), DigitoVerificador(chip, 0)),
    };
    QProcess floor;
    floor.start(floorPath, {QStringLiteral("texts"), chip, regional::sqlDate(menor.date()),
                            regional::sqlDate(maior.date())});
    if (!floor.waitForFinished() || floor.exitStatus() != QProcess::NormalExit || floor.exitCode() != 0)
        return QStringLiteral("%1 texts did not run: %2")
            .arg(floorPath, QString::fromLocal8Bit(floor.readAllStandardError()));
    const QStringList got =
        QString::fromLatin1(floor.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < expected.size(); ++i)
        if (i >= got.size() || got[i] != expected[i])
            return QStringLiteral("the floor's statement %1 differs from the program's:\n  %2\n  %3")
                .arg(i + 1)
                .arg(i < got.size() ? got[i] : QString(), expected[i]);
    return {};
}

} // namespace bench
