// A serial number of this machine that stays the same across restarts and reinstalls of the
// terminal, used to make up the device identity before the backend has issued one.
//
// Here it is read from files: the firmware's product UUID when the process may read it, else the
// system's machine id. $FENWIX_HARDWARE_SERIAL_SOURCES (a ':'-separated list of files, possibly
// empty) replaces that list, for tests and for machines whose firmware reports no usable id.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace fenwix::platform {

// Longest serial handed out, in characters.
constexpr std::size_t kHardwareSerialMaxChars = 511;

// The files tried, in order.
std::vector<std::string> hardwareSerialSources();

// The first usable serial among hardwareSerialSources(); empty if none. Never blocks: only
// regular files are read, each at most once and at most 1020 bytes.
std::string readHardwareSerial();
std::string readHardwareSerial(const std::vector<std::string>& sources);

// A serial from the raw text of a source: blanks, tabs, carriage returns and line feeds removed,
// cut to kHardwareSerialMaxChars. Empty when the text is no usable serial: nothing left, characters
// other than letters, digits, '-', '_', '.' and ':' (the serial ends up inside request forms), or
// a placeholder that firmware writes when it has no id (all zeros or all 'F').
std::string serialFromText(const std::string& raw);

}  // namespace fenwix::platform
