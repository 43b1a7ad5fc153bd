#include "platform/posix/posix_text_files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kx {

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }
    bool Close()
    {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

FileReadResult PosixTextFiles::ReadWholeFile(const std::string& path)
{
    FileReadResult result;
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) {
        result.status = (errno == ENOENT || errno == ENOTDIR) ? FileReadStatus::Missing : FileReadStatus::Failed;
        return result;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            result.status = FileReadStatus::Failed;
            result.bytes.clear();
            return result;
        }
        if (got == 0)
            break;
        result.bytes.append(buffer, static_cast<std::size_t>(got));
    }
    result.status = FileReadStatus::Read;
    return result;
}

bool PosixTextFiles::ReplaceWholeFile(const std::string& path, std::string_view bytes)
{
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && (existing.st_mode & 0222) == 0)
        return false;   // read-only

    const std::string temporary = ReplacementFilePath(path);
    Descriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (fd.Get() < 0)
        return false;
    const bool written = WriteAll(fd.Get(), bytes) && ::fsync(fd.Get()) == 0;
    if (!fd.Close() || !written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    // Make the rename itself durable.
    Descriptor folder(::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Get() >= 0)
        ::fsync(folder.Get());
    return true;
}

} // namespace kx
