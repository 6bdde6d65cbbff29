#include "shell/Application.h"
#include "shell/untPrincipal.h"

int main(int argc, char** argv) {
    Application app(argc, argv);
    installMessageBoxes();
    TfrmPrincipal window;
    window.show();
    return app.exec();
}
