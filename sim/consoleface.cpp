#include "sim/consoleface.h"

namespace fenwixsim {

void ConsoleFace::install(SimCore& core) {
    auto page = [](const SimRequest&) {
        return textReply(consolePage(), 200, "text/html; charset=utf-8");
    };
    core.route("GET", "/console", page);
    core.route("GET", "/", page);
}

}  // namespace fenwixsim
