#pragma once

#include <string>

namespace fenwixsim {

struct Options {
    int port = 0;
    std::string portFile;
    int holdMs = 1500;
    bool strict = false;
    bool demo = false;
    bool help = false;
};

// Parses the command line; false with a message for the user when it is not usable.
bool parseOptions(int argc, char** argv, Options& options, std::string& error);

// The --help text: every flag and the whole admin API (also served at /admin/help).
std::string helpText();

}  // namespace fenwixsim
