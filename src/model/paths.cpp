#include "model/paths.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace velmora {

std::string ProgramDataDir() {
    namespace fs = std::filesystem;
    if (const char* env = std::getenv("VELMORA_DATA_DIR"); env && *env) return env;
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        fs::path installed = exe.parent_path().parent_path() / "share" / "velmora";
        if (fs::is_directory(installed, ec)) return installed.string();
    }
    return VELMORA_SOURCE_DATA_DIR;
}

std::string ProgramDataFile(const std::string& name) {
    return (std::filesystem::path(ProgramDataDir()) / name).string();
}

} // namespace velmora
