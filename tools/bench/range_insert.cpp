// bench-range-insert: the card dialog's range insert, in-process, against a shop database. The
// data module is connected as the program connects it; the dialog's question is answered yes and
// its closing message recorded. Prints "CARDS MICROSECONDS" for the whole range.
//
//   bench-range-insert DATABASE FIRST LAST
#include "cards/untConfigComandas.h"
#include "database/untMD.h"
#include "platform/dialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench-range-insert DATABASE FIRST LAST\n");
        return 2;
    }
    QStringList shown;
    dialogs::setPresenter([&](dialogs::Kind, const QString& text) { shown << text; });
    dialogs::setQuestionPresenter([](const QString&) { return true; });
    MD = new TMD();
    MD->ibdConexao.DatabaseName = QString::fromLocal8Bit(argv[1]);
    MD->ibdConexao.Params = {QStringLiteral("user_name=SYSDBA"), QStringLiteral("password=kestrelio")};
    MD->ibdConexao.Open();
    int cards = 0;
    qint64 us = 0;
    {
        TfrmConfigComandas dialog;
        dialog.EdtCarIni->setText(QString::fromLocal8Bit(argv[2]));
        dialog.EdtCarFim->setText(QString::fromLocal8Bit(argv[3]));
        QElapsedTimer clock;
        clock.start();
        dialog.SpeedButton2Click(dialog.SpeedButton2);
        us = clock.nsecsElapsed() / 1000;
        cards = QString::fromLocal8Bit(argv[3]).toInt() - QString::fromLocal8Bit(argv[2]).toInt() + 1;
    }
    delete MD;
    MD = nullptr;
    if (shown != QStringList{QStringLiteral("Cartões inseridos!")}) {
        std::fprintf(stderr, "bench-range-insert: the insert did not end well: %s\n",
                     qPrintable(shown.join(QStringLiteral(" | "))));
        return 1;
    }
    std::printf("%d %lld\n", cards, static_cast<long long>(us));
    return 0;
}
