// One more instance of the program's start-up gate, as a second process: creates the data
// module, says "ready" when it holds the lock and the connection, and ends when its standard
// input closes.
#include "database/untMD.h"
#include "platform/failure.h"

#include <QCoreApplication>
#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    TMD md;
    try {
        md.DataModuleCreate(&md);
    } catch (const ProcessEnd&) {
        std::puts("ended");
        return 0;
    } catch (const std::exception& e) {
        std::printf("failed: %s\n", e.what());
    }
    std::puts("ready");
    std::fflush(stdout);
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    return 0;
}
