// SPDX-License-Identifier: MIT
#include "sys/FileSystem.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "sys/Unicode.h"

namespace sys {

std::string nativePath(std::u16string_view path) {
    std::string utf8 = utf16ToUtf8(path);
    for (char& c : utf8)
        if (c == '\\') c = '/';
    return utf8;
}

int openFile(std::u16string_view path, int openFlags, int& error) {
    error = 0;
    int flags = O_CLOEXEC;
    switch (openFlags & 0x3) {
    case OpenReadOnly: flags |= O_RDONLY; break;
    case OpenWriteOnly: flags |= O_WRONLY; break;
    case OpenReadWrite: flags |= O_RDWR; break;
    default: error = EINVAL; return -1;
    }
    if (openFlags & OpenAppend) flags |= O_APPEND;
    if (openFlags & OpenCreate) flags |= O_CREAT;
    if (openFlags & OpenTruncate) flags |= O_TRUNC;
    if (openFlags & OpenExclusive) flags |= O_EXCL;

    const std::string native = nativePath(path);
    if (native.empty()) {
        error = ENOENT;
        return -1;
    }
    int fd = ::open(native.c_str(), flags, 0666);
    if (fd < 0) {
        error = errno == EISDIR ? EACCES : errno;
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        error = EACCES;
        return -1;
    }
    if (S_ISREG(info.st_mode) && info.st_size > INT32_MAX) {
        ::close(fd);
        error = kErrorFileTooLarge;
        return -1;
    }
    return fd;
}

int32_t readFile(int descriptor, void* buffer, int32_t count) {
    if (descriptor < 0 || !buffer || count <= 0) return 0;
    size_t done = 0;
    while (done < size_t(count)) {
        ssize_t n = ::read(descriptor, static_cast<char*>(buffer) + done, size_t(count) - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += size_t(n);
    }
    return int32_t(done);
}

int32_t writeFile(int descriptor, const void* buffer, int32_t count) {
    if (descriptor < 0 || !buffer || count <= 0) return 0;
    size_t done = 0;
    while (done < size_t(count)) {
        ssize_t n =
            ::write(descriptor, static_cast<const char*>(buffer) + done, size_t(count) - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += size_t(n);
    }
    return int32_t(done);
}

int32_t seekFile(int descriptor, int32_t offset, int origin) {
    static const int whence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (descriptor < 0 || origin < 0 || origin > 2) return -1;
    off_t position = ::lseek(descriptor, offset, whence[origin]);
    if (position < 0 || position > INT32_MAX) return -1;
    return int32_t(position);
}

int64_t fileLength(int descriptor) {
    struct stat info {};
    if (descriptor < 0 || ::fstat(descriptor, &info) != 0) return -1;
    return info.st_size;
}

bool atEndOfFile(int descriptor) {
    off_t position = ::lseek(descriptor, 0, SEEK_CUR);
    int64_t length = fileLength(descriptor);
    return position < 0 || length < 0 || position >= length;
}

void closeFile(int descriptor) {
    if (descriptor >= 0) ::close(descriptor);
}

std::u16string fullPath(std::u16string_view path) {
    std::string native = nativePath(path);
    if (native.empty() || native[0] != '/') {
        std::vector<char> cwd(PATH_MAX);
        if (::getcwd(cwd.data(), cwd.size())) native = std::string(cwd.data()) + "/" + native;
    }
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= native.size()) {
        size_t end = native.find('/', start);
        if (end == std::string::npos) end = native.size();
        std::string part = native.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string joined;
    for (const std::string& part : parts) joined += "/" + part;
    // A trailing separator names a folder; keep it so the last-separator
    // rule still finds the folder part.
    if (!native.empty() && native.back() == '/' && !joined.empty()) joined += '/';
    if (joined.empty()) joined.push_back('/');
    return utf8ToUtf16(joined);
}

std::u16string userDataFolder() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && dataHome[0] == '/') return utf8ToUtf16(dataHome);
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return utf8ToUtf16(std::string(home) + "/.local/share");
    return {};
}

bool fileExists(std::u16string_view path) {
    struct stat info {};
    return ::stat(nativePath(path).c_str(), &info) == 0;
}

} // namespace sys
