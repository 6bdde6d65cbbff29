#include "shell/TextPane.h"

#include <QEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

TextPane::TextPane(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setMaximumBlockCount(kMaxLines);
    showTimer_.setSingleShot(true);
    showTimer_.setInterval(kShowIntervalMs);
    connect(&showTimer_, &QTimer::timeout, this, &TextPane::showWaiting);
}

void TextPane::append(const QString& line) {
    // Lines beyond the cap would be dropped as soon as they were shown.
    if (waiting_.size() >= kMaxLines) waiting_.removeFirst();
    waiting_.append(line);
    emit appended(line);
    if (!showTimer_.isActive() && canShow()) showTimer_.start();
}

void TextPane::clearLines() {
    waiting_.clear();
    clear();
    holdsLines_ = false;
}

int TextPane::documentLines() const {
    // An empty document still has one block; it holds no line until something is appended.
    if (!holdsLines_ && document()->isEmpty()) return 0;
    return document()->blockCount();
}

int TextPane::lineCount() const {
    return std::min<qsizetype>(documentLines() + waiting_.size(), kMaxLines);
}

void TextPane::flush() {
    showTimer_.stop();
    if (waiting_.isEmpty()) return;
    // Every line, an empty one too, becomes a block of its own at the end; one insertion lays
    // them all out at once.
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    if (holdsLines_ || !document()->isEmpty()) cursor.insertBlock();
    cursor.insertText(waiting_.join(u'\n'));
    waiting_.clear();
    holdsLines_ = true;
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

QString TextPane::text() {
    flush();
    return toPlainText();
}

bool TextPane::canShow() const {
    return isVisible() && !window()->isMinimized();
}

void TextPane::showWaiting() {
    if (canShow()) flush();
}

void TextPane::showEvent(QShowEvent* event) {
    QPlainTextEdit::showEvent(event);
    // Restoring a minimised window shows no pane anew: its state change is watched instead.
    if (watchedWindow_ != window()) {
        if (watchedWindow_ != nullptr) watchedWindow_->removeEventFilter(this);
        watchedWindow_ = window();
        watchedWindow_->installEventFilter(this);
    }
    if (!waiting_.isEmpty()) showTimer_.start();
}

bool TextPane::eventFilter(QObject* watched, QEvent* event) {
    if (watched == watchedWindow_ && event->type() == QEvent::WindowStateChange && !waiting_.isEmpty() &&
        canShow())
        showTimer_.start();
    return QPlainTextEdit::eventFilter(watched, event);
}
