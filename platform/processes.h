// The process list and ending a process, by the name of its program file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fenwix::platform {

struct ProcessEntry {
    std::uint32_t pid = 0;
    std::string imageName;  // file name of the running program, without folder
};

// All processes visible to the caller, in ascending pid order. Empty if the list cannot be read.
std::vector<ProcessEntry> processSnapshot();

// The platform's image name of a program given by its bare name: "FenwixStuDesktop" becomes
// "FenwixStuDesktop.exe" where programs carry that extension, and stays as it is on Linux,
// where program files carry none. A name that already ends in ".exe" is kept.
std::string imageNameOf(const std::string& programName);

// Whether a listed image name is the wanted one. Case never matters. Because the wanted name
// often comes in the Windows form ("FenwixStuDesktop.exe") while Linux program files have no
// extension, a wanted name ending in ".exe" also matches the listed name without it. The reverse
// does not hold: a wanted "abc" never matches a listed "abc.exe", so a bare name stays exact.
bool imageNameMatches(const std::string& listedName, const std::string& wantedName);

// Ends the process at once (it gets no chance to refuse). True if the signal was delivered.
bool terminateProcess(std::uint32_t pid);

}  // namespace fenwix::platform
