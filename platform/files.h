// Small files on disk: bounded reads that never block, atomic replacement, folders.
#pragma once

#include <cstddef>
#include <string>

namespace fenwix::platform {

enum class FileReadStatus {
    Ok,
    Missing,     // nothing at that path
    NotRegular,  // a folder, pipe, device...: never read, so a read cannot block
    Failed,      // exists but cannot be opened or read
};

// Reads at most `maxBytes` bytes from the start of a regular file into `content`.
FileReadStatus readFileHead(const std::string& path, std::size_t maxBytes, std::string& content);

// Replaces the file at `path` with `content` so that a reader sees either the old or the new file
// whole: the text goes to a temporary file in the same folder, reaches the disk, and is renamed
// over the old one. The folder must exist. A new file gets `mode` (less the process umask); an
// existing file keeps its permissions.
bool replaceFileAtomically(const std::string& path, const std::string& content,
                           unsigned int mode = 0644);

bool fileExists(const std::string& path);
bool isDirectory(const std::string& path);

// Creates the folder and any missing parents. True if the folder exists afterwards.
bool makeDirectories(const std::string& path, unsigned int mode = 0755);

// The folder part of a path with its trailing separator ("/a/b/c" -> "/a/b/"); "" if none.
std::string parentFolder(const std::string& path);

}  // namespace fenwix::platform
