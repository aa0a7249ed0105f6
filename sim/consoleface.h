#pragma once

#include "sim/simcore.h"

namespace fenwixsim {

// The web console for a person: one page of HTML and script over the admin API.
class ConsoleFace {
public:
    void install(SimCore& core);
};

// The page itself (kept in its own file).
const char* consolePage();

}  // namespace fenwixsim
