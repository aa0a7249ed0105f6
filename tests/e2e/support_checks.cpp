#include "support_checks.h"

#include <cstdio>
#include <cstdlib>

namespace e2e {

bool haveDisplay() {
    return std::getenv("DISPLAY") != nullptr;
}

std::string terminalLog(const TerminalSandbox& sandbox, pid_t pid) {
    char pidText[16];
    std::snprintf(pidText, sizeof pidText, "_%06u_", static_cast<unsigned>(pid));
    for (const auto& file : sandbox.logFiles()) {
        if (file.filename().string().find(pidText) != std::string::npos) {
            return readFile(file);
        }
    }
    return "";
}

int countIn(const std::string& log, const std::string& text) {
    int n = 0;
    for (auto at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) {
        ++n;
    }
    return n;
}

bool mainWindowShown(pid_t pid) {
    return run("xdotool search --all --onlyvisible --pid " + std::to_string(pid) +
               " --name '^芬维学生端$' >/dev/null 2>&1")
               .first == 0;
}

void keepScreenshot(const std::string& name) {
    const char* artifacts = std::getenv("FENWIX_ARTIFACTS");
    if (artifacts == nullptr || !haveDisplay()) {
        return;
    }
    run("import -window root '" + std::string(artifacts) + "/" + name + "' 2>/dev/null");
}

}  // namespace e2e
