// The SHA-256 digest of a file, for checking a downloaded installer against the one the
// backend offered.
#pragma once

#include <string>

// Lower-case hex of the file's SHA-256; empty when the file cannot be read.
std::string sha256HexOfFile(const std::string& path);

// Whether `hex` names the same digest as `expected`, case aside. An expected value that is not
// 64 hex digits matches nothing: a digest that cannot be checked is no pass.
bool sameSha256(const std::string& hex, const std::string& expected);
