// Reader and writer of Windows-style ini files ("[section]" headers, "key=value" lines, ';'
// comments), with the read rules of the desktop system's profile functions: section and key names
// compare without case, the first matching section and key win, blanks around names and values are
// dropped, one pair of matching quotes around a value is removed, and a value is cut to 260
// characters. Every operation opens the file afresh, so a change made by someone else is seen at
// the next read. Writes keep every other line of the file as it was.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

class CIniFile {
public:
    // Longest value handed back by a read, in characters.
    static constexpr std::size_t kMaxValueChars = 260;
    // A configuration file beyond this size is not ours and is treated as unreadable.
    static constexpr std::size_t kMaxFileBytes = std::size_t{1024} * 1024;

    enum class FileState { Missing, Readable, Unreadable };

    explicit CIniFile(std::string path);
    virtual ~CIniFile();

    // True if the decimal integer of the value is non-zero; false if missing, empty or zero.
    bool readBool(const std::string& section, const std::string& key) const;
    // The value, or empty text if missing.
    std::string readString(const std::string& section, const std::string& key) const;
    // The value as an integer; -1 if missing or empty. A value beginning with "0x" is hexadecimal
    // (its last eight characters, each non-digit counting 0); any other is decimal, the leading
    // digits only (0 if none).
    int readInt(const std::string& section, const std::string& key) const;
    // The value as a real number (the leading number, 0.0 if none); -1.0 if missing or empty.
    double readDouble(const std::string& section, const std::string& key) const;
    // Whether the key is there with a non-empty value.
    bool hasValue(const std::string& section, const std::string& key) const;

    // Writes return false when section or key is empty, the path is empty, the text cannot be held
    // by one ini line (line breaks, NUL; '=' or a leading '[' or ';' in a key; ']' in a section),
    // the existing file is unreadable, or the file cannot be written.
    bool writeInt(const std::string& section, const std::string& key, int value);
    bool writeString(const std::string& section, const std::string& key, const std::string& value);
    bool writeBool(const std::string& section, const std::string& key, bool value);
    bool writeDouble(const std::string& section, const std::string& key, double value);

    bool exists() const;
    // Missing, a text file we can read, or something else (not a regular file, binary, oversized).
    FileState state() const;
    const std::string& path() const { return path_; }

private:
    std::optional<std::string> lookup(const std::string& section, const std::string& key) const;

    std::string path_;
};
