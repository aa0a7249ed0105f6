#include "app/fenwix.h"
#include "logging/log4z.h"
#include "platform/heaplimits.h"

int main(int argc, char** argv) {
    fenwix::platform::returnLargeBlocksWhenFreed();
    CFenwixApp app(argc, argv);
    app.InitInstance();
    // Drain the log before the process ends.
    log4z::Log4zManager::instance().stop();
    return 0;
}
