#include "shell/Application.h"
#include "shell/Startup.h"

int main(int argc, char** argv) {
    Application app(argc, argv);
    installMessageBoxes();
    return executarVortalis(app);
}
