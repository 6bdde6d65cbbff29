#pragma once
// A private X display (Xvfb) for the whole program run as a process with real windows and real
// message boxes, and a look at the windows on it by their titles.
#include <QFile>
#include <QProcess>
#include <QThread>
#include <memory>

class XDisplay {
public:
    XDisplay() {
        for (int n = 90; n < 190; ++n) {
            if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) ||
                QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
                continue;
            name_ = QStringLiteral(":%1").arg(n);
            server_ = std::make_unique<QProcess>();
            server_->start(QStringLiteral("Xvfb"), {name_, QStringLiteral("-screen"), QStringLiteral("0"),
                                                    QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                                                    QStringLiteral("tcp")});
            server_->waitForStarted(5000);
            for (int i = 0; i < 100 && server_->state() == QProcess::Running; ++i) {
                if (QProcess::execute(QStringLiteral("xdpyinfo"), {QStringLiteral("-display"), name_}) == 0)
                    return;
                QThread::msleep(50);
            }
            server_.reset();
        }
        name_.clear();
    }
    ~XDisplay() {
        if (server_) {
            server_->terminate();
            server_->waitForFinished(5000);
        }
    }
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    // Empty when no display could be started.
    QString name() const { return name_; }

    // True when a window of that title is on the display.
    bool shows(const QString& title) const {
        QProcess tree;
        tree.start(QStringLiteral("xwininfo"),
                   {QStringLiteral("-display"), name_, QStringLiteral("-root"), QStringLiteral("-tree")});
        tree.waitForFinished(10000);
        return QString::fromLocal8Bit(tree.readAllStandardOutput()).contains(u'"' + title + QStringLiteral("\":"));
    }

private:
    QString name_;
    std::unique_ptr<QProcess> server_;
};
