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

namespace sys {
namespace {

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

} // namespace

AtomicFile::AtomicFile(std::u16string_view target) : target_(nativePath(target)) {}

AtomicFile::~AtomicFile() {
    if (descriptor_ >= 0) ::close(descriptor_);
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

bool AtomicFile::fail(const char* step) {
    if (!failed_) {
        error_ = std::string(step) + " '" + target_ + "': " + std::strerror(errno);
        failed_ = true;
    }
    return false;
}

bool AtomicFile::open() {
    if (failed_) return false;
    if (target_.empty()) {
        errno = ENOENT;
        return fail("cannot write");
    }
    size_t slash = target_.rfind('/');
    std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    std::string pattern = folderOf(target_) + "/." + name + ".XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    descriptor_ = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (descriptor_ < 0) return fail("cannot create a temporary file for");
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

bool AtomicFile::commit() {
    if (failed_ || descriptor_ < 0) return false;
    if (::fsync(descriptor_) != 0) return fail("cannot flush");
    int fd = descriptor_;
    descriptor_ = -1;
    if (::close(fd) != 0) return fail("cannot close");
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) return fail("cannot replace");
    temporary_.clear();
    // The rename is durable only once the folder's entry is on disk.
    int folder = ::open(folderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

} // namespace sys
