// The file behind the user's store of small values (the machine's unique number): read, then a
// write that keeps the key's other values.
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/registrystore.h"
#include "support/tempfolder.h"

namespace {
const char* const kKey = "Software\\Fenwix\\allApp";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static TempFolder* folder = new TempFolder();  // lives until exit
    fenwix::platform::RegistryStore store(folder->path());
    const std::string path = store.filePathOf(kKey);
    if (path.empty()) {
        return 0;
    }
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::string value;
    store.readString(kKey, "uniqueno", value);
    store.writeString(kKey, "uniqueno", "FWX-UNIQUE-1");
    return 0;
}
