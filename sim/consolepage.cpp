#include "sim/consoleface.h"

namespace fenwixsim {

const char* consolePage() {
    return "<!doctype html><title>fenwix-sim</title>";
}

}  // namespace fenwixsim
