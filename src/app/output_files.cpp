#include "app/output_files.h"

#include <cerrno>
#include <filesystem>
#include <optional>
#include <span>
#include <unistd.h>

#include "model/file_io.h"

namespace velmora::app {
namespace {

// The system's reason for an error number, as the file readers and writers give it.
std::string Reason(int error) {
    return FileIoResult::failure("", error).message.substr(2);
}

} // namespace

std::optional<TargetProblem> FileTargetProblem(const std::string& option, const std::string& path) {
    namespace fs = std::filesystem;
    if (path.find('\0') != std::string::npos)
        return TargetProblem{true, "the path for " + option + " holds a NUL character"};
    std::error_code ec;
    const fs::path target(path);
    const fs::file_status st = fs::status(target, ec);
    if (fs::is_directory(st)) return TargetProblem{false, path + ": " + Reason(EISDIR)};
    if (fs::exists(st) && !fs::is_regular_file(st)) {
        if (::access(path.c_str(), W_OK) != 0) return TargetProblem{false, path + ": " + Reason(errno)};
        return std::nullopt;
    }
    fs::path real =
        fs::is_symlink(fs::symlink_status(target, ec)) ? fs::weakly_canonical(target, ec) : target;
    fs::path folder = real.parent_path();
    if (folder.empty()) folder = ".";
    const fs::file_status fst = fs::status(folder, ec);
    if (!fs::exists(fst)) return TargetProblem{false, folder.string() + ": " + Reason(ENOENT)};
    if (!fs::is_directory(fst)) return TargetProblem{false, folder.string() + ": " + Reason(ENOTDIR)};
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return TargetProblem{false, folder.string() + ": " + Reason(errno)};
    return std::nullopt;
}

std::optional<TargetProblem> FolderTargetProblem(const std::string& option, const std::string& dir) {
    namespace fs = std::filesystem;
    if (dir.find('\0') != std::string::npos)
        return TargetProblem{true, "the path for " + option + " holds a NUL character"};
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(dir), ec);
    if (ec) return TargetProblem{false, dir + ": " + ec.message()};
    while (true) {
        const fs::file_status st = fs::status(p, ec);
        if (fs::exists(st)) {
            if (!fs::is_directory(st)) return TargetProblem{false, p.string() + ": " + Reason(ENOTDIR)};
            if (::access(p.c_str(), W_OK | X_OK) != 0)
                return TargetProblem{false, p.string() + ": " + Reason(errno)};
            return std::nullopt;
        }
        if (p == p.root_path() || p.parent_path() == p)
            return TargetProblem{false, dir + ": " + Reason(ENOENT)};
        p = p.parent_path();
    }
}

bool WriteAll(const std::vector<PendingFile>& files, const std::vector<std::string>& folders,
              std::string& message) {
    namespace fs = std::filesystem;
    std::vector<fs::path> madeFolders;
    for (const std::string& dir : folders) {
        if (dir.empty()) continue;
        std::error_code ec;
        for (fs::path p = fs::absolute(dir, ec); !ec && !fs::exists(p, ec) && p != p.parent_path();
             p = p.parent_path())
            madeFolders.push_back(p);
        fs::create_directories(dir, ec);
        if (ec) {
            message = dir + ": " + ec.message();
            for (const fs::path& p : madeFolders)
                fs::remove(p, ec); // only those now empty go
            return false;
        }
    }
    struct Previous {
        std::string path;
        std::optional<std::vector<uint8_t>> bytes; // nothing: the file is new
    };
    std::vector<Previous> written;
    for (const PendingFile& f : files) {
        Previous before{f.path, std::nullopt};
        std::error_code ec;
        if (fs::is_regular_file(f.path, ec)) {
            std::vector<uint8_t> old;
            if (ReadWholeFile(f.path, std::size_t{1} << 30, old).ok) before.bytes = std::move(old);
        } else if (fs::exists(f.path, ec)) {
            before.bytes = std::vector<uint8_t>{}; // a device: nothing to restore, never removed
        }
        const auto* data = reinterpret_cast<const uint8_t*>(f.bytes.data());
        const FileIoResult w = WriteFileReplacing(f.path, std::span<const uint8_t>(data, f.bytes.size()));
        if (!w.ok) {
            message = w.message;
            for (auto it = written.rbegin(); it != written.rend(); ++it) {
                if (it->bytes) {
                    if (fs::is_regular_file(it->path, ec)) WriteFileReplacing(it->path, *it->bytes);
                } else {
                    fs::remove(it->path, ec);
                }
            }
            for (const fs::path& p : madeFolders)
                fs::remove(p, ec);
            return false;
        }
        written.push_back(std::move(before));
    }
    return true;
}

} // namespace velmora::app
