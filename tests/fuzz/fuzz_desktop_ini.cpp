// desktop.ini: the terminal's start-up read of its local configuration, then a write of one
// value, which keeps every other line of the file as it was.
#include <stdlib.h>

#include <fstream>

#include "fuzzenvironment.h"
#include "service/commonutil.h"
#include "service/inifile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fenwixfuzz::FuzzEnvironment::instance();
    const std::string path = std::string(::getenv("FENWIX_INI_DIR")) + "/desktop.ini";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    CComConfig::getInstance()->loadLocalConfig();
    CIniFile ini(path);
    ini.writeString("CONFIG", "audioinname", "USB 麦克风");
    ini.readString("CONFIG", "audioinname");
    return 0;
}
