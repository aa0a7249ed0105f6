// A private folder for one test, removed with everything in it when the test ends.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

class TempFolder {
public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "fenwix-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern + "/";
        }
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!path_.empty()) {
            std::filesystem::remove_all(path_, ignored);
        }
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder, with a trailing '/'; empty if it could not be made.
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + name; }

    // Writes `content` to a file of the folder (parents created), replacing what was there.
    std::string write(const std::string& name, const std::string& content) const {
        const std::string target = file(name);
        std::filesystem::create_directories(std::filesystem::path(target).parent_path());
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        out << content;
        return target;
    }

    // The whole file, or empty text if it cannot be read.
    std::string read(const std::string& name) const {
        std::ifstream in(file(name), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    bool exists(const std::string& name) const { return std::filesystem::exists(file(name)); }

private:
    std::string path_;
};
