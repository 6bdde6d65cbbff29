#include "shell/artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace artwork {

namespace {
const QColor kDeep(0x12, 0x3a, 0x6b);
const QColor kBright(0x2e, 0x86, 0xc1);

// A square transparent picture, drawn with antialiasing by paint(painter, side).
template <typename Paint> QPixmap drawn(int side, Paint paint) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    paint(p, static_cast<qreal>(side));
    return pixmap;
}

// A turnstile seen from the front: a post with three arms around a hub.
QPixmap turnstile(int side, const QColor& background, const QColor& ink) {
    return drawn(side, [&](QPainter& p, qreal side) {
        p.setBrush(background);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(0, 0, side, side), side * 0.2, side * 0.2);
        QPen pen(ink, side * 0.09, Qt::SolidLine, Qt::RoundCap);
        p.setPen(pen);
        const QPointF hub(side * 0.42, side * 0.45);
        p.drawLine(QPointF(side * 0.42, side * 0.45), QPointF(side * 0.42, side * 0.88));
        p.drawLine(hub, QPointF(side * 0.85, side * 0.45));
        p.drawLine(hub, QPointF(side * 0.16, side * 0.2));
        p.drawLine(hub, QPointF(side * 0.16, side * 0.72));
        p.setBrush(ink);
        p.drawEllipse(hub, side * 0.08, side * 0.08);
    });
}

QPixmap arrows(int side) {
    return drawn(side, [](QPainter& p, qreal side) {
        p.setPen(QPen(kBright, side * 0.12, Qt::SolidLine, Qt::RoundCap));
        const QRectF ring(side * 0.18, side * 0.18, side * 0.64, side * 0.64);
        p.drawArc(ring, 30 * 16, 150 * 16);
        p.drawArc(ring, 210 * 16, 150 * 16);
        p.setBrush(kBright);
        p.setPen(Qt::NoPen);
        QPainterPath head;
        head.moveTo(side * 0.06, side * 0.42);
        head.lineTo(side * 0.3, side * 0.42);
        head.lineTo(side * 0.18, side * 0.62);
        head.closeSubpath();
        p.drawPath(head);
        p.drawPath(QTransform().rotate(180, Qt::ZAxis).translate(-side, -side).map(head));
    });
}

QPixmap card(int side) {
    return drawn(side, [](QPainter& p, qreal side) {
        p.setBrush(kBright);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(side * 0.08, side * 0.22, side * 0.84, side * 0.56), side * 0.08,
                          side * 0.08);
        p.setBrush(QColor(0xf4, 0xd0, 0x3f));
        p.drawRect(QRectF(side * 0.18, side * 0.36, side * 0.2, side * 0.16));
    });
}

QPixmap door(int side) {
    return drawn(side, [](QPainter& p, qreal side) {
        p.setPen(QPen(QColor(0xb0, 0x3a, 0x2e), side * 0.1));
        p.drawRect(QRectF(side * 0.22, side * 0.12, side * 0.46, side * 0.76));
        p.setBrush(QColor(0xb0, 0x3a, 0x2e));
        p.drawEllipse(QPointF(side * 0.56, side * 0.52), side * 0.05, side * 0.05);
    });
}
} // namespace

QIcon programIcon() {
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(turnstile(side, kDeep, Qt::white));
    return icon;
}

QIcon programIconAlert() {
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64, 128}) {
        QPixmap pixmap = turnstile(side, kDeep, Qt::white);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::white, side / 16.0));
        p.setBrush(QColor(0xD0, 0x10, 0x10));
        const qreal mark = side * 0.45;
        p.drawEllipse(QRectF(side - mark - side / 32.0, side - mark - side / 32.0, mark, mark));
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QPixmap banner(const QSize& size) {
    QPixmap pixmap(size);
    QPainter p(&pixmap);
    QLinearGradient gradient(0, 0, size.width(), size.height());
    gradient.setColorAt(0, kDeep);
    gradient.setColorAt(1, kBright);
    p.fillRect(pixmap.rect(), gradient);
    p.setOpacity(0.18);
    const int side = size.height();
    p.drawPixmap(size.width() - side - 8, 0, turnstile(side, Qt::transparent, Qt::white));
    return pixmap;
}

QIcon buttonIcon(ButtonPicture picture) {
    switch (picture) {
    case ButtonPicture::Reconnect:
        return QIcon(arrows(24));
    case ButtonPicture::Cards:
        return QIcon(card(24));
    case ButtonPicture::Exit:
        return QIcon(door(24));
    }
    return {};
}

} // namespace artwork
