#include "model/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string_view>
#include <system_error>

namespace velmora {

FileIoResult FileIoResult::failure(const std::string& path, int error) {
    return {false, path + ": " + std::generic_category().message(error)};
}

namespace {

// Closes a descriptor once, keeping the first error of the sequence.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Returns 0 or the errno of close(); network file systems report write errors here.
    int close() {
        int rc = ::close(fd_);
        fd_ = -1;
        return rc == 0 ? 0 : errno;
    }

  private:
    int fd_;
};

int writeAll(int fd, std::span<const uint8_t> data) {
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

int syncFile(int fd) {
    while (::fsync(fd) != 0) {
        if (errno == EINTR) continue;
        // Character devices and pipes have nothing to flush.
        if (errno == EINVAL || errno == EROFS) return 0;
        return errno;
    }
    return 0;
}

std::string parentFolder(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The rename is durable only once the folder entry itself is on the disk. A failure
// here does not undo a completed replacement, so it is not reported.
void syncFolder(const std::string& folder) {
    Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) ::fsync(dir.get());
}

FileIoResult writeInPlace(const std::string& path, std::span<const uint8_t> data) {
    Descriptor fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    if (!fd.valid()) return FileIoResult::failure(path, errno);
    if (int e = writeAll(fd.get(), data)) return FileIoResult::failure(path, e);
    if (int e = syncFile(fd.get())) return FileIoResult::failure(path, e);
    if (int e = fd.close()) return FileIoResult::failure(path, e);
    return {};
}

// Creates a new temporary file beside `target`; never opens an existing file.
int createTemporary(const std::string& target, std::string& tempPath) {
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = target + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

} // namespace

FileIoResult ReadWholeFile(const std::string& path, std::size_t maxBytes, std::vector<uint8_t>& data) {
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) return FileIoResult::failure(path, errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return FileIoResult::failure(path, errno);
    if (S_ISDIR(st.st_mode)) return FileIoResult::failure(path, EISDIR);

    std::vector<uint8_t> buffer;
    uint8_t chunk[8192];
    while (true) {
        ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            return FileIoResult::failure(path, errno);
        }
        if (n == 0) break;
        if (buffer.size() + static_cast<std::size_t>(n) > maxBytes) return FileIoResult::failure(path, EFBIG);
        buffer.insert(buffer.end(), chunk, chunk + n);
    }
    data = std::move(buffer);
    return {};
}

FileIoResult WriteFileReplacing(const std::string& path, std::span<const uint8_t> data) {
    std::string target = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return FileIoResult::failure(path, EISDIR);
    if (exists && !S_ISREG(st.st_mode)) return writeInPlace(target, data);

    std::string temp;
    Descriptor fd(createTemporary(target, temp));
    if (!fd.valid()) return FileIoResult::failure(path, errno);

    auto fail = [&](int error) {
        ::unlink(temp.c_str());
        return FileIoResult::failure(path, error);
    };
    // A replaced file keeps the permissions it had; a new one gets the creation mode
    // above as limited by the umask.
    if (exists && ::fchmod(fd.get(), st.st_mode & 07777) != 0) return fail(errno);
    if (int e = writeAll(fd.get(), data)) return fail(e);
    if (int e = syncFile(fd.get())) return fail(e);
    if (int e = fd.close()) return fail(e);
    if (::rename(temp.c_str(), target.c_str()) != 0) return fail(errno);
    syncFolder(parentFolder(target));
    return {};
}

} // namespace velmora
