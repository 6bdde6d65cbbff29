#pragma once
// Rows of the shop tables, as small fixtures for the access decision.
#include <QString>
#include <QStringList>
#include <initializer_list>

inline QString dia(const char* iso) {
    return QStringLiteral("'%1'").arg(QString::fromLatin1(iso));
}
inline QString cartao(const QString& codigo, const QString& chip, const char* situacao = "N") {
    return QStringLiteral("INSERT INTO CADCARTAO VALUES (1, '%1', '%2', NULL, NULL, %3)")
        .arg(codigo, QString::fromLatin1(situacao),
             chip.isNull() ? QStringLiteral("NULL")
                           : u'\'' + QString(chip).replace(u'\'', QStringLiteral("''")) + u'\'');
}
inline QString caixa(const char* day, const char* aberto = "S") {
    return QStringLiteral("INSERT INTO CAIXASITUACAO VALUES (1, %1, '%2')")
        .arg(dia(day), QString::fromLatin1(aberto));
}
inline int nextLink = 1;
// An open sale booked on a card, with its items (an amount, or "c:amount" for a cancelled item).
inline QStringList venda(const char* day, int controle, const QString& card,
                         std::initializer_list<const char*> itens) {
    QStringList rows{QStringLiteral("INSERT INTO VENDA VALUES (1, %1, %2, 'A')").arg(dia(day)).arg(controle),
                     QStringLiteral("INSERT INTO VENDACARTAO VALUES (%1, 1, %2, %3, '%4')")
                         .arg(nextLink++)
                         .arg(dia(day))
                         .arg(controle)
                         .arg(card)};
    int n = 1;
    for (const char* item : itens) {
        QString value = QString::fromLatin1(item);
        const bool cancelled = value.startsWith(u'c');
        if (cancelled) value.remove(0, 2);
        rows << QStringLiteral("INSERT INTO VENDAITEM VALUES (1, %1, %2, %3, %4, %5)")
                    .arg(dia(day))
                    .arg(controle)
                    .arg(n++)
                    .arg(value, cancelled ? QStringLiteral("'S'") : QStringLiteral("NULL"));
    }
    return rows;
}
