#pragma once
// A live text pane of the main window: lines are appended at the end and the pane scrolls to
// the newest. It holds at most 10,000 lines, dropping the oldest, so a terminal that runs for
// weeks does not grow without bound.
#include <QPlainTextEdit>

class TextPane : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr int kMaxLines = 10000;

    explicit TextPane(QWidget* parent = nullptr);

    void append(const QString& line);
    void clearLines();
    int lineCount() const;

private:
    bool holdsLines_ = false;
};
