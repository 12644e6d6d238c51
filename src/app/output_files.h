// The files a design run writes, written together: all of them or, when one cannot be
// written, none, so that a failed export never leaves a mix of old and new files.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velmora::app {

// Why an output cannot be written where it is asked for: a usage problem (a NUL in the
// path: a path from a request file could hold one, and the system would silently write
// the part before it) or the file system's reason.
struct TargetProblem {
    bool usage = false;
    std::string message;
};
// A file's path: not a folder, and in a folder that exists and can be written (a device
// such as /dev/null is written in place). `option` names it in a usage problem.
std::optional<TargetProblem> FileTargetProblem(const std::string& option, const std::string& path);
// A folder for pictures: one that can be written, or can be created in the nearest
// folder that exists.
std::optional<TargetProblem> FolderTargetProblem(const std::string& option, const std::string& dir);

// A file to write, made in full before the first one is written.
struct PendingFile {
    std::string what, path, bytes;
};

// Writes every file or, when one cannot be written, none: the files written before it
// get their previous contents back (or are removed when they are new), and a folder
// made for the pictures is removed again. Each file is replaced safely on its own (a
// temporary file renamed over it), so a failure never leaves a half-written file.
// `message` says why a write failed.
bool WriteAll(const std::vector<PendingFile>& files, const std::vector<std::string>& folders,
              std::string& message);

} // namespace velmora::app
