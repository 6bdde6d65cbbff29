#include "shell/Application.h"
#include "shell/Startup.h"
#include "shell/TerminationSignals.h"

int main(int argc, char** argv) {
    // Before Qt or the database client start any thread: every thread inherits the mask.
    blockTerminationSignals();
    Application app(argc, argv);
    installMessageBoxes();
    return executarVortalis(app);
}
