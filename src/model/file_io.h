// Whole-file reading and safe replacement of files, shared by the program's documents.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velmora {

struct FileIoResult {
    bool ok = true;
    std::string message; // "<path>: <system message>" on failure

    static FileIoResult failure(const std::string& path, int error);
};

// Reads the whole file into `data` (replaced only on success). A file larger than
// `maxBytes` is refused rather than read, so a wrong file of any size costs nothing.
FileIoResult ReadWholeFile(const std::string& path, std::size_t maxBytes, std::vector<uint8_t>& data);

// Replaces the file at `path` with `data` so that a failure at any point (disk full,
// read-only folder, a killed process) leaves the previous file as it was: the data go
// to a temporary file beside the target, are flushed to the disk, and the temporary
// file is then renamed over the target. An existing file keeps its permissions; a
// symbolic link keeps pointing at the file it names. A target that is a device or a
// pipe has no previous contents to protect and cannot be renamed over, so it is
// written in place. On failure the temporary file is removed.
FileIoResult WriteFileReplacing(const std::string& path, std::span<const uint8_t> data);

} // namespace velmora
