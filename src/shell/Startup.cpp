#include "shell/Startup.h"

#include "cards/untConfigComandas.h"
#include "database/untMD.h"
#include "shell/Application.h"
#include "shell/TerminationSignals.h"
#include "shell/untPrincipal.h"

int executarVortalis(Application& app) {
    onTerminationSignal(&app, [] {
        if (frmPrincipal != nullptr) frmPrincipal->close();
    });
    try {
        frmPrincipal = new TfrmPrincipal();
        frmPrincipal->FormCreate(frmPrincipal);
        frmConfigComandas = new TfrmConfigComandas();
        frmPrincipal->show();
        app.exec();
    } catch (const ProcessEnd&) {
        // The start-up gate ended the process: what exists is still destroyed.
    }
    delete frmPrincipal;
    frmPrincipal = nullptr;
    delete frmConfigComandas;
    frmConfigComandas = nullptr;
    delete MD;
    MD = nullptr;
    return 0;
}
