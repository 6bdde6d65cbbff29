#pragma once
// The program's global objects in the test process: the data module connected to a test
// database and the main window, without the start-up gate. Destroyed in the program's order.
#include "FirebirdServer.h"
#include "database/untMD.h"
#include "shell/untPrincipal.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

struct ProgramUnderTest {
    explicit ProgramUnderTest(const QString& connectionName) {
        MD = new TMD();
        connectDataModule(*MD, connectionName);
        frmPrincipal = new TfrmPrincipal();
    }
    ~ProgramUnderTest() {
        delete frmPrincipal;
        frmPrincipal = nullptr;
        delete MD;
        MD = nullptr;
    }
    ProgramUnderTest(const ProgramUnderTest&) = delete;
    ProgramUnderTest& operator=(const ProgramUnderTest&) = delete;

    TfrmPrincipal& window() { return *frmPrincipal; }
};

// Runs the event loop until the condition holds or the time is up.
template <typename Condition> bool eventually(Condition condition, int timeoutMs = 30000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// A turnstile row.
inline QString catraca(int codigo, const QString& nome, const QString& ip, const QString& porta,
                       const QString& ativo = QStringLiteral("S")) {
    auto text = [](const QString& v) { return v.isNull() ? QStringLiteral("NULL") : u'\'' + v + u'\''; };
    return QStringLiteral("INSERT INTO CADCATRACA VALUES (%1, %2, %3, %4, %5)")
        .arg(codigo)
        .arg(text(nome), text(ip), text(porta), text(ativo));
}
