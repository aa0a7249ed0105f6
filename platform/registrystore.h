// The current user's store of small named text values, addressed like the desktop registry: a key
// path such as "Software\\Fenwix\\allApp" and a value name such as "uniqueno".
//
// Here a key is one ini-style file under the user's configuration folder ($XDG_CONFIG_HOME, else
// ~/.config), the leading "Software" dropped: "Software\\Fenwix\\allApp" is <config>/Fenwix/allApp.
// Writes replace the file atomically. A file that is not a well-formed store (binary junk, stray
// lines, far too large) reads as if no value were there, and the next write starts it afresh.
#pragma once

#include <cstddef>
#include <string>

namespace fenwix::platform {

class RegistryStore {
public:
    // The store of the current user.
    RegistryStore();
    // A store rooted at another folder (tests, portable installs).
    explicit RegistryStore(std::string rootFolder);

    // Reads a value; at most `maxChars` characters are kept. False (and `value` emptied) if the key
    // or the value is missing or the store cannot be read.
    bool readString(const std::string& keyPath, const std::string& valueName, std::string& value,
                    std::size_t maxChars = 255) const;

    // Creates the key if needed and sets the value, keeping the key's other values. Refuses (false)
    // names and values that the file form cannot hold: line breaks, NUL, a '=' in the name.
    bool writeString(const std::string& keyPath, const std::string& valueName,
                     const std::string& value);

    // The file that holds a key; empty for a key path that names no file (empty, "..").
    std::string filePathOf(const std::string& keyPath) const;

    const std::string& rootFolder() const { return root_; }

private:
    std::string root_;
};

// The user's configuration folder with a trailing '/'; empty if neither $XDG_CONFIG_HOME nor $HOME
// gives one.
std::string userConfigFolder();

}  // namespace fenwix::platform
