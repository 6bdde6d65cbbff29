#pragma once
// The program's life: the main window, the data module it creates and the card dialog, the
// message loop, and their destruction in order. Returns the exit code.
class Application;
class QObject;

int executarVortalis(Application& app);

// From now on a termination request closes the main window, as its close box does.
void fecharAoPedidoDeTermino(QObject* context);
