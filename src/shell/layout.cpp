#include "shell/layout.h"

#include "shell/TextPane.h"

#include <QEvent>
#include <QPainter>

namespace layout {

namespace {
class Bevel : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(QColor(0xa0, 0xa0, 0xa0));
        p.drawLine(0, 0, width(), 0);
        p.setPen(Qt::white);
        p.drawLine(0, 1, width(), 1);
    }
};

// Places the pane in the lowest 99 pixels of its area whenever the area is resized.
class PaneArea : public QWidget {
public:
    PaneArea(TextPane* pane, QWidget* parent) : QWidget(parent), pane_(pane) { pane_->setParent(this); }

protected:
    void resizeEvent(QResizeEvent*) override {
        pane_->setGeometry(0, height() - kPaneHeight, width(), kPaneHeight);
    }

private:
    static constexpr int kPaneHeight = 99;
    TextPane* pane_;
};

class CoverParent : public QObject {
public:
    CoverParent(QWidget* child, QWidget* parent) : QObject(parent), child_(child) {
        parent->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize) {
            child_->setGeometry(child_->parentWidget()->rect());
            child_->lower();
        }
        return false;
    }

private:
    QWidget* child_;
};
} // namespace

QLabel* label(const QString& text, const QString& family, int pixelSize, const QString& style,
              QWidget* parent) {
    auto* l = new QLabel(text, parent);
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setBold(true);
    l->setFont(font);
    l->setAlignment(Qt::AlignCenter);
    l->setStyleSheet(style);
    return l;
}

QWidget* bevel(int height, QWidget* parent) {
    return fixedHeight(new Bevel(parent), height);
}

QPushButton* bigButton(const QString& caption, const QIcon& icon, QWidget* parent) {
    auto* button = new QPushButton(icon, caption, parent);
    button->setFlat(true);
    button->setFixedHeight(41);
    button->setIconSize(QSize(24, 24));
    QFont font(QStringLiteral("Verdana"));
    font.setPixelSize(11);
    button->setFont(font);
    return button;
}

void stretchBehind(QWidget* child, QWidget* parent) {
    new CoverParent(child, parent);
}

QWidget* paneArea(int height, const QString& caption, QPoint labelAt, QRect buttonRect, TextPane* pane,
                  QLabel** labelOut, QPushButton** buttonOut, QWidget* parent) {
    auto* area = fixedHeight(new PaneArea(pane, parent), height);
    auto* l = new QLabel(caption, area);
    l->move(labelAt);
    auto* button = new QPushButton(QStringLiteral("Limpar"), area);
    button->setGeometry(buttonRect);
    *labelOut = l;
    *buttonOut = button;
    return area;
}

} // namespace layout
