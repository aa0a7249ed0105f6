// FenwixUpdate <image name> <installer path>: ends the terminal, then opens the installer.
#include <iostream>
#include <string>
#include <vector>

#include "updater/platformsystem.h"
#include "updater/updater.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    fenwix::updater::PlatformSystem system;
    return fenwix::updater::runUpdater(args, system, std::cout, std::cerr);
}
