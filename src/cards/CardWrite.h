#pragma once
// One write of the card dialog, committed by itself on the auxiliary transaction. Its result is
// always looked at: a failed write is logged by the statement layer (which also recovers a
// lost connection), rolled back, and explained to the operator, so that the run can stop there.
#include <QString>
#include <optional>

namespace cartoes {

// Empty when the write is committed; otherwise why it failed, in the operator's words.
std::optional<QString> gravar(const QString& sql);

// The operator's words for a database error of a card write.
QString motivoFalhaGravacao(long codigo, const QString& mensagem);

} // namespace cartoes
