#include "updater/updater.h"

#include "updater/processkiller.h"

namespace fenwix::updater {
namespace {

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Length of UTF-8 text in UTF-16 code units. A byte that does not start a well-formed sequence
// counts as one unit, so malformed input can never slip under the limit.
std::size_t utf16Length(const std::string& text) {
    std::size_t units = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t tail = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            tail = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            tail = 2;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            tail = 3;
        }
        bool wellFormed = i + tail < text.size() || tail == 0;
        for (std::size_t k = 1; wellFormed && k <= tail; ++k) {
            wellFormed = isContinuation(static_cast<unsigned char>(text[i + k]));
        }
        if (!wellFormed) {
            tail = 0;
        }
        units += tail == 3 ? 2 : 1;
        i += tail + 1;
    }
    return units;
}

// Index (1-based) of the first argument that is too long, 0 if all fit.
int firstTooLong(const std::vector<std::string>& args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (utf16Length(args[i]) > kMaxArgumentLength) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

}  // namespace

int runUpdater(const std::vector<std::string>& args, UpdaterSystem& system, std::ostream& out,
               std::ostream& err) {
    if (args.size() != 2) {
        return kExitWrongArgumentCount;
    }
    if (const int index = firstTooLong(args); index != 0) {
        err << "FenwixUpdate: argument " << index << " is longer than " << kMaxArgumentLength
            << " characters; nothing was done\n"
            << std::flush;
        return kExitArgumentTooLong;
    }
    const std::string& imageName = args[0];
    const std::string& installerPath = args[1];

    out << "kill exe name " << imageName << "\n" << std::flush;
    // The installer is opened whether or not a process was ended.
    ProcessKiller(system).killByImageName(imageName);
    system.sleepMs(kSettleMs);

    out << "start exe path " << installerPath << "\n" << std::flush;
    system.openFile(installerPath);  // an installer that cannot be opened is not reported
    system.sleepMs(kSettleMs);
    return kExitDone;
}

}  // namespace fenwix::updater
