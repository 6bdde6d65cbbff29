#include "shell/Startup.h"

#include "cards/untConfigComandas.h"
#include "database/untMD.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "shell/Application.h"
#include "shell/TerminationSignals.h"
#include "shell/untPrincipal.h"

void fecharAoPedidoDeTermino(QObject* context) {
    onTerminationSignal(context, [] {
        if (frmPrincipal != nullptr) frmPrincipal->close();
    });
}

int executarVortalis(Application& app) {
    guarded([&] { fecharAoPedidoDeTermino(&app); });
    try {
        frmPrincipal = new TfrmPrincipal();
        frmPrincipal->FormCreate(frmPrincipal);
        frmConfigComandas = new TfrmConfigComandas();
        frmPrincipal->show();
        app.exec();
    } catch (const ProcessEnd&) {
        // The start-up gate ended the process: what exists is still destroyed.
    }
    // The program is ending and nobody is left to answer a box: what the destruction still has
    // to report goes to standard error, so the end never waits.
    dialogs::setPresenter({});
    delete frmPrincipal;
    frmPrincipal = nullptr;
    delete frmConfigComandas;
    frmConfigComandas = nullptr;
    delete MD;
    MD = nullptr;
    return 0;
}
