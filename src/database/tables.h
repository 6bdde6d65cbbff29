#pragma once
// The shop database as the program relies on it: the value codes its statements write and
// compare. The suite owns the tables; the program creates none.
//
//   CADCATRACA     turnstiles: CAT_CODIGO, CAT_DESCRICAO, CAT_IP, CAT_PORTA, CAT_ATIVO
//   CADCARTAO      cards: LOJ_CODIGO, CAR_CODIGO, CAR_SITUACAO, CAR_DTINATIVACAO,
//                  CAR_MOTIVOINATIVACAO, CAR_CHIP
//   VENDA          sales: LOJ_CODIGO, CAI_DATA, VEN_CONTROLE, VEN_SITUACAO
//   VENDACARTAO    cards booked on a sale: VCA_CONTROLE, LOJ_CODIGO, CAI_DATA, VEN_CONTROLE, CAR_CODIGO
//   VENDAITEM      sale items: LOJ_CODIGO, CAI_DATA, VEN_CONTROLE, VIT_SUBTOTAL, VIT_CANCELADO
//   CAIXASITUACAO  cash-register days: LOJ_CODIGO, CAI_DATA, CAI_ABERTO
//   CONFIGGERAL    general settings: CFG_HABILITACAO, CFG_VALOR
//
// The store code 1, the active turnstile 'S' (CAT_ATIVO), the open sale 'A' (VEN_SITUACAO) and
// the live item 'N' (VIT_CANCELADO) stand inside the fixed pieces of the statements, written as
// the suite expects them; the codes below are the ones written in as values.
#include <QString>

namespace shop {

inline const QString kCartaoEmUso = QStringLiteral("N");                          // CAR_SITUACAO
inline const QString kCartaoInativo = QStringLiteral("I");                        // CAR_SITUACAO
inline const QString kMotivoDuplicidade = QStringLiteral("DUPLICIDADE CATRACA "); // CAR_MOTIVOINATIVACAO
inline const QString kVendaFechada = QStringLiteral("C");                         // VEN_SITUACAO
inline const QString kCaixaAberto = QStringLiteral("S");                          // CAI_ABERTO
inline const QString kCfgQtdChipCartao = QStringLiteral("CFG_QTDCHIPCARTAO");     // CFG_HABILITACAO

} // namespace shop
