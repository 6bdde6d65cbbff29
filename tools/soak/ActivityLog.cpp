#include "ActivityLog.h"

#include <QFile>
#include <QRegularExpression>

namespace soak {

const QString ActivityLog::kWithheld =
    QStringLiteral(" não enviada: chegou uma leitura mais recente durante a consulta.");

ActivityLog::ActivityLog(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        malformed_ << QStringLiteral("the activity log cannot be read");
        return;
    }
    static const QRegularExpression stamp(
        QStringLiteral("^(\\d\\d)/(\\d\\d)/(\\d{4}) (\\d\\d):(\\d\\d):(\\d\\d):(\\d{3}) "));
    const QList<QByteArray> lines = file.readAll().split('\n');
    bool afterError = false;
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        // Windows-1252, which agrees with Latin-1 on every letter the program's texts use.
        const QString line = QString::fromLatin1(lines[i]);
        const bool ended = line.endsWith(u'\r') && !line.chopped(1).contains(u'\r');
        const QRegularExpressionMatch match = stamp.match(line);
        if (match.hasMatch()) {
            const auto part = [&](int n) { return match.capturedView(n).toInt(); };
            const QString text = line.mid(match.capturedLength()).chopped(ended ? 1 : 0);
            afterError = text.startsWith(QStringLiteral("Erro = "));
            stamped_.push_back(
                {QDateTime(QDate(part(3), part(2), part(1)), QTime(part(4), part(5), part(6), part(7))),
                 text});
        }
        if (!ended || (!match.hasMatch() && !afterError))
            malformed_ << QStringLiteral("line %1: %2").arg(i + 1).arg(line.left(120));
    }
    if (!lines.last().isEmpty()) malformed_ << QStringLiteral("the last line has no line end");
}

int ActivityLog::countEndingWith(const QString& ending, const QDateTime& from, const QDateTime& to) const {
    int count = 0;
    for (const Line& line : stamped_)
        if ((!from.isValid() || line.at >= from) && (!to.isValid() || line.at <= to) &&
            line.text.endsWith(ending))
            ++count;
    return count;
}

bool ActivityLog::writtenInsideAHold(const QString& text) {
    return text.startsWith(QStringLiteral("Erro = ")) ||
           text == QStringLiteral("Não foi possível restabelecer a conexão com o banco.") ||
           text == QStringLiteral("Arquivo de erro criado Código do erro: 335544721");
}

ActivityLog::Holds ActivityLog::holds(const QDateTime& from, const QDateTime& to) const {
    Holds found;
    const Line* previous = nullptr;
    for (const Line& line : stamped_) {
        if (writtenInsideAHold(line.text)) continue;
        if (previous != nullptr && line.at > from && previous->at < to) {
            const qint64 ms = previous->at.msecsTo(line.at);
            found.longestMs = std::max(found.longestMs, ms);
            if (ms >= 1000) found.totalMs += ms;
        }
        if (line.at > to) break;
        previous = &line;
    }
    return found;
}

} // namespace soak
