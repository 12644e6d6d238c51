// Fuzz target: the command line's request files, through the whole command.
//
// The first byte picks the command (even: design, odd: user); the rest is the request
// file. The output files are pinned by command-line options, which win over the file,
// into a private folder, and a request naming the plots folder or an inventory file is
// left out (it could name a device that never ends), so no input writes or reads
// outside that folder. The Monte Carlo analysis is pinned to one run.
//
// Besides crashes, sanitizer reports and leaks: the exit status is 0, 1 or 2, and every
// line on stderr is a "velmora: " message.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "cli.h"

namespace fs = std::filesystem;

namespace {

// The folder every run works in, removed when the fuzzer ends. Held through a pointer
// that is never freed, so the exit handler cannot run after its destruction.
const fs::path& Folder() {
    static const fs::path* folder = [] {
        auto* f =
            new fs::path(fs::temp_directory_path() / ("velmora_fuzz_request_" + std::to_string(::getpid())));
        fs::create_directories(*f);
        // The program's data, and settings and inventory folders of its own.
        ::setenv("VELMORA_DATA_DIR", VELMORA_SOURCE_DATA_DIR, 1);
        ::setenv("XDG_CONFIG_HOME", f->c_str(), 1);
        ::setenv("XDG_DATA_HOME", f->c_str(), 1);
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(Folder(), ec);
        });
        return f;
    }();
    return *folder;
}

// Whether the request names a file the target must not let it read.
bool NamesOutsideFiles(const std::string& text) {
    const nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
    if (!j.is_object()) return false;
    for (const auto& [key, value] : j.items()) {
        std::string name = key;
        for (char& ch : name)
            if (ch == '_') ch = '-';
        if (name == "plots" || name == "inventory") return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const fs::path& dir = Folder();
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (NamesOutsideFiles(text)) return 0;
    const fs::path request = dir / "request.json";
    {
        std::ofstream out(request, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    const std::vector<std::string> args = {"velmora",
                                           (data[0] & 1) ? "user" : "design",
                                           request.string(),
                                           "--save",
                                           (dir / "out.fl3").string(),
                                           "--ascii",
                                           (dir / "out.dat").string(),
                                           "--spice",
                                           (dir / "out.cir").string(),
                                           "--monte-carlo",
                                           "1"};
    std::ostringstream out, err;
    const int status = velmora::cli::Run(args, out, err);
    if (status < 0 || status > 2) std::abort();
    std::istringstream lines(err.str());
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("velmora: ", 0) != 0) std::abort();
    return 0;
}
