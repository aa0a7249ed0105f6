#include "app/fenwix.h"
#include "logging/log4z.h"

int main(int argc, char** argv) {
    CFenwixApp app(argc, argv);
    app.InitInstance();
    // Drain the log before the process ends.
    log4z::Log4zManager::instance().stop();
    return 0;
}
