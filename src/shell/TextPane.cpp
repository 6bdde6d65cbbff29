#include "shell/TextPane.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

TextPane::TextPane(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setMaximumBlockCount(kMaxLines);
}

void TextPane::append(const QString& line) {
    // Every line, an empty one too, becomes a block of its own at the end.
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    if (holdsLines_ || !document()->isEmpty()) cursor.insertBlock();
    cursor.insertText(line);
    holdsLines_ = true;
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void TextPane::clearLines() {
    clear();
    holdsLines_ = false;
}

int TextPane::lineCount() const {
    // An empty document still has one block; it holds no line until something is appended.
    if (!holdsLines_ && document()->isEmpty()) return 0;
    return document()->blockCount();
}
