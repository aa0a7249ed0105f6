// The command line with which the terminal hands over to the updater, and the file names the
// self-update uses.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct UpdateHandOver {
    std::string program;                 // the updater copy in the temporary folder
    std::vector<std::string> arguments;  // the terminal's image name, then the installer path

    // The arguments as one command-line text: each in double quotes, one blank between.
    std::string parameterText() const;
};

// Longest parameter text the hand-over takes, in UTF-16 code units: what the updater's command
// buffer holds with its terminator.
inline constexpr std::size_t kMaxHandOverParameterUnits = 511;

// The file on disk of a program given by its image name: "FenwixUpdate.exe" is the file
// "FenwixUpdate" where programs carry no extension.
std::string programFileOfImage(const std::string& imageName);

// An executable's name without its extension ("FenwixStuDesktop.exe" -> "FenwixStuDesktop").
std::string nameWithoutExtension(const std::string& fileName);

// The installer's image name for the running executable: its name without extension followed
// by "update.exe".
std::string installerImageName(const std::string& executableName);

// Updater copy `program`, started with the terminal's image name (its name without extension
// followed by ".exe") and the installer path.
UpdateHandOver makeUpdateHandOver(const std::string& program, const std::string& executableName,
                                  const std::string& installerPath);

// Length of UTF-8 text in UTF-16 code units.
std::size_t utf16Units(const std::string& text);
