#pragma once
// A private X display (Xvfb) for the whole program run as a process with real windows and real
// message boxes, and a look at the windows on it by their titles.
#include <QFile>
#include <QProcess>
#include <memory>

class XDisplay {
public:
    XDisplay() {
        // The server picks a free display number itself and tells it, so that displays started
        // at the same moment by others never collide with this one; it does not reset when a
        // program leaves, which would refuse the next one's connection for a moment.
        server_ = std::make_unique<QProcess>();
        server_->start(QStringLiteral("Xvfb"),
                       {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                        QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                        QStringLiteral("tcp"), QStringLiteral("-noreset")});
        QByteArray told;
        while (!told.contains('\n') && server_->waitForReadyRead(10000))
            told += server_->readAllStandardOutput();
        if (told.trimmed().isEmpty()) {
            server_.reset();
            return;
        }
        name_ = u':' + QString::fromLatin1(told.trimmed());
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
        return QString::fromLocal8Bit(tree.readAllStandardOutput())
            .contains(u'"' + title + QStringLiteral("\":"));
    }

private:
    QString name_;
    std::unique_ptr<QProcess> server_;
};
