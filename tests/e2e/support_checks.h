// What end-to-end tests look at from outside the terminal: its log, its windows, the screen.
#pragma once

#include <sys/types.h>

#include <string>

#include "support_terminalprocess.h"

namespace e2e {

bool haveDisplay();
// The log file of the terminal process `pid` in that sandbox, empty while there is none.
std::string terminalLog(const TerminalSandbox& sandbox, pid_t pid);
// Occurrences of a text in a log.
int countIn(const std::string& log, const std::string& text);
// Whether the idle window (titled 芬维学生端) of that process is shown.
bool mainWindowShown(pid_t pid);
// Keeps a screenshot of the whole display as $FENWIX_ARTIFACTS/<name> when that is set.
void keepScreenshot(const std::string& name);

}  // namespace e2e
