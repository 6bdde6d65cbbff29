#include "shell/TrayHint.h"

QString dicaBandeja(int conectadas, int total, const QDateTime& semConexaoDesde) {
    const QString banco = semConexaoDesde.isValid()
                              ? QStringLiteral("sem conexão desde ") + semConexaoDesde.toString(QStringLiteral("hh:mm"))
                              : QStringLiteral("conectado");
    return QStringLiteral("Vortalis - %1 de %2 catracas conectadas\nBanco de dados: ").arg(conectadas).arg(total) +
           banco;
}
