// SPDX-License-Identifier: MIT
#include "sys/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "sys/FileSystem.h"
#include "sys/Unicode.h"

namespace sys {
namespace {

// A temporary's name is the target's with a dot before and six characters
// after; a target name near the length limit would leave it no room.
constexpr size_t kLongestNamePart = 200;

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

mode_t newFileMode(const std::string& target) {
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0) return info.st_mode & 07777;
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// rename() that leaves an existing target alone. Filesystems without the
// no-replace flag get link-then-unlink, which refuses an existing name too.
bool renameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

bool writeAll(int fd, const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    off_t at = 0;
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, bytes, size, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        bytes += n;
        at += n;
        size -= size_t(n);
    }
    return true;
}

} // namespace

AtomicFile::AtomicFile(std::u16string_view target)
    : target_(nativePath(target)), nulInPath_(target.find(u'\0') != std::u16string_view::npos) {}

AtomicFile::~AtomicFile() {
    if (descriptor_ >= 0) ::close(descriptor_);
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

bool AtomicFile::fail(const char* step) {
    return fail(step, std::strerror(errno), errno);
}

bool AtomicFile::fail(const char* step, const char* reason, int error) {
    if (!failed_) {
        error_ = std::string(step) + " '" + printable(target_) + "': " + reason;
        errorNumber_ = error;
        failed_ = true;
    }
    return false;
}

bool AtomicFile::open() {
    if (failed_) return false;
    if (nulInPath_) return fail("cannot write", "the name holds a NUL character", EINVAL);
    if (target_.empty()) {
        errno = ENOENT;
        return fail("cannot write");
    }
    // A link is replaced by the rename, never written through, so only what
    // sits at the name itself matters.
    struct stat info {};
    if (::lstat(target_.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return fail("cannot write", "it is a folder", EISDIR);
        if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode))
            return fail("cannot write", "it is not a regular file (a pipe, device or socket)",
                        EINVAL);
    }
    size_t slash = target_.rfind('/');
    std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    std::string pattern = folderOf(target_) + "/." + name.substr(0, kLongestNamePart) + ".XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    descriptor_ = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (descriptor_ < 0) {
        temporaryRefused_ = errno == EACCES || errno == EPERM;
        return fail("cannot create a temporary file for");
    }
    temporary_ = buffer.data();
    if (::fchmod(descriptor_, newFileMode(target_)) != 0) return fail("cannot set permissions of");
    return true;
}

bool AtomicFile::write(const void* data, size_t size) {
    if (failed_ || descriptor_ < 0) return false;
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(descriptor_, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return fail("cannot write");
        }
        bytes += n;
        size -= size_t(n);
    }
    return true;
}

bool AtomicFile::seal() {
    if (failed_ || (descriptor_ < 0 && !sealed_)) return false;
    if (sealed_) return true;
    if (::fsync(descriptor_) != 0) return fail("cannot flush");
    int fd = descriptor_;
    descriptor_ = -1;
    if (::close(fd) != 0) return fail("cannot close");
    sealed_ = true;
    return true;
}

bool AtomicFile::commit(IfTargetExists existing) {
    if (!seal()) return false;
    const bool placed = existing == IfTargetExists::Replace
                            ? ::rename(temporary_.c_str(), target_.c_str()) == 0
                            : renameNoReplace(temporary_, target_);
    if (!placed) return fail("cannot replace");
    temporary_.clear();
    // The rename is durable only once the folder's entry is on disk.
    int folder = ::open(folderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

bool rewriteInPlace(std::u16string_view target, const void* data, size_t size, std::string& why) {
    const std::string native = nativePath(target);
    auto fail = [&](int error, const char* outcome) {
        why = "cannot write '" + printable(native) + "': " + std::strerror(error) + " (" + outcome +
              ")";
        return false;
    };
    constexpr const char* kUntouched =
        "its folder allows no new file, so it was to be rewritten in place; it is as it was";
    const auto notRegular = [&] {
        why = "cannot write '" + printable(native) +
              "': it is not a regular file (a pipe, device or socket)";
        return false;
    };
    // Non-blocking, so that a pipe nobody reads is refused, not waited on.
    const int fd = ::open(native.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 && errno == ENXIO) return notRegular();
    if (fd < 0)
        return fail(errno,
                    "its folder allows no new file, and the file cannot be rewritten in place");
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return notRegular();
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    const off_t oldSize = info.st_size;
    if (off_t(size) > oldSize && ::fallocate(fd, 0, oldSize, off_t(size) - oldSize) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS) {
        const int error = errno;
        // A refused reservation may still have grown the file part way.
        [[maybe_unused]] int ignored = ::ftruncate(fd, oldSize);
        ::close(fd);
        return fail(error, kUntouched);
    }
    constexpr const char* kCutShort =
        "its folder allows no new file, so it was being rewritten in place and is now incomplete";
    if (!writeAll(fd, data, size) || ::ftruncate(fd, off_t(size)) != 0 || ::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        return fail(error, kCutShort);
    }
    if (::close(fd) != 0) return fail(errno, kCutShort);
    return true;
}

} // namespace sys
