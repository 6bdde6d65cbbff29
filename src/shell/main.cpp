#include "platform/termination.h"
#include "shell/Application.h"
#include "shell/Startup.h"

int main(int argc, char** argv) {
    // Before Qt or the database client start any thread: every thread inherits the mask.
    platform::holdTerminationRequests();
    Application app(argc, argv);
    installMessageBoxes();
    return executarVortalis(app);
}
