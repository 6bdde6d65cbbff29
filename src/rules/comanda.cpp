#include "rules/comanda.h"

#include "platform/regional.h"

#include <QRegularExpression>

namespace regras {

std::optional<double> lerNumero(const QString& text) {
    // Built once per decimal separator: every card read passes through here.
    static QChar builtFor;
    static QRegularExpression shape;
    if (builtFor != regional::decimalSeparator()) {
        builtFor = regional::decimalSeparator();
        const QString sep = QRegularExpression::escape(QString(builtFor));
        shape.setPattern(
            QStringLiteral("^\\s*([+-]?(?:\\d+(?:%1\\d*)?|%1\\d+)(?:[eE][+-]?\\d+)?)\\s*$").arg(sep));
    }
    const auto match = shape.match(text);
    if (!match.hasMatch()) return std::nullopt;
    QString plain = match.captured(1);
    plain.replace(regional::decimalSeparator(), u'.');
    bool ok = false;
    const double value = plain.toDouble(&ok);
    if (!ok) return std::nullopt;
    return value;
}

QString formatoGeral(double value) {
    if (value == 0.0) return QStringLiteral("0");
    QString text = QString::number(value, 'g', 15);
    const qsizetype e = text.indexOf(u'e');
    if (e >= 0) {
        // "1.5e+07" becomes "1,5E7", "2e-07" becomes "2E-7".
        const int exponent = text.mid(e + 1).toInt();
        text = text.left(e) + u'E' + QString::number(exponent);
    }
    return text.replace(u'.', regional::decimalSeparator());
}

QString normalizarComanda(const QString& comanda) {
    const auto number = lerNumero(comanda);
    return number ? formatoGeral(*number) : comanda;
}

} // namespace regras
