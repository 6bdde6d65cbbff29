#pragma once
// The program's life: the main window, the data module it creates and the card dialog, the
// message loop, and their destruction in order. Returns the exit code.
class Application;

int executarVortalis(Application& app);
