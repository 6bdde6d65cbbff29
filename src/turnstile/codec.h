#pragma once
// The frames exchanged with the turnstile controllers: STX, length (low byte first), payload of
// one byte per character, XOR checksum, ETX. Pure transformations without state.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

using TByteArray = std::vector<uint8_t>;

// Frames a message text into Result (n + 5 bytes).
void stringToBytes(const QString& pPackage, TByteArray& Result);

// The text of one inbound read: the bytes between the first three and the last two, one
// character per byte. Nothing of the frame is checked.
QString unwrapFrame(const QByteArray& bytes);

// A card-read request has "+REON+000+0" at characters 3 to 13.
bool isCardReadRequest(const QString& text);

// The comanda number of a request: between the first "]" and the next one; empty otherwise.
QString extractComanda(const QString& text);

// A text read from a controller as a pane line shows it: control characters written as "\xNN",
// cut at about kDisplayLength characters, with the count of those left out.
inline constexpr qsizetype kDisplayLength = 160;
QString displayText(const QString& text);

// The three replies to a card read.
inline const QString kRespostaLiberado = QStringLiteral("01+REON+00+6]20]Acesso liberado]");
inline const QString kRespostaNegado = QStringLiteral("01+REON+00+30]20]Acesso Negado]");
inline const QString kRespostaSemCadastro = QStringLiteral("01+REON+00+30]20]Comanda Sem Cadastro]");

// The request a controller sends for a card read.
QString cardReadRequest(const QString& comanda);
