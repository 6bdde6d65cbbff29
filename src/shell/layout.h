#pragma once
// Small builders for the fixed-size areas of the program's windows.
#include <QIcon>
#include <QLabel>
#include <QPushButton>

class TextPane;

namespace layout {

template <typename W> W* fixedHeight(W* widget, int height) {
    widget->setFixedHeight(height);
    return widget;
}

QLabel* label(const QString& text, const QString& family, int pixelSize, const QString& style,
              QWidget* parent);
// A full-width area with a line along its top edge.
QWidget* bevel(int height, QWidget* parent);
// A flat full-width button, Verdana 11 pixels, 41 high, picture left of the caption.
QPushButton* bigButton(const QString& caption, const QIcon& icon, QWidget* parent);
// Keeps a child covering the whole of its parent, behind the parent's other children.
void stretchBehind(QWidget* child, QWidget* parent);
// A pane area: a caption label and a "Limpar" button at fixed places, the pane filling the
// lowest 99 pixels.
QWidget* paneArea(int height, const QString& caption, QPoint labelAt, QRect buttonRect, TextPane* pane,
                  QLabel** labelOut, QPushButton** buttonOut, QWidget* parent);

} // namespace layout
