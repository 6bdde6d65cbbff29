#pragma once
// A live text pane of the main window: lines are appended at the end and the pane scrolls to
// the newest. It holds at most 10,000 lines, dropping the oldest, so a terminal that runs for
// weeks does not grow without bound.
//
// Appending costs no layout: lines wait in the pane and reach its document together, at most
// every kShowIntervalMs and never while the window is hidden or minimised, so that a turnstile's
// reply never waits for text to be laid out or drawn.
#include <QPlainTextEdit>
#include <QStringList>
#include <QTimer>

class TextPane : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr int kMaxLines = 10000;
    static constexpr int kShowIntervalMs = 100;

    explicit TextPane(QWidget* parent = nullptr);

    void append(const QString& line);
    void clearLines();
    // The lines shown and waiting.
    int lineCount() const;
    // Shows the waiting lines now.
    void flush();
    // The whole text, waiting lines included.
    QString text();

signals:
    // A line as it is appended, before it is shown.
    void appended(const QString& line);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int documentLines() const;
    bool canShow() const;
    void showWaiting();

    QStringList waiting_;
    QTimer showTimer_;
    QWidget* watchedWindow_ = nullptr;
    bool holdsLines_ = false;
};
