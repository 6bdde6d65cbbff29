#pragma once
// The turnstile IP text check and the delimited-text split it uses.
#include <QChar>
#include <QString>
#include <QStringList>

// Loads Input into Strings with the string list's delimited-text rule (not strict): leading
// blanks and control characters skipped, an item ends at the delimiter or at any character of
// code 32 or less, two delimiters in a row give an empty item, a delimiter at the very end an
// empty last item, and the double quote quotes.
void Split(QChar Delimiter, const QString& Input, QStringList& Strings);

// True when no part of the dotted text is above 255. The number of parts is not counted. A
// part that is not a whole number in decimal digits makes the text invalid.
bool fncIsIP(const QString& pIP);
