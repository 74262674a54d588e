// SPDX-License-Identifier: MIT
#include "core/File.h"

#include <cerrno>
#include <string>

#include "core/Log.h"
#include "core/Report.h"
#include "sys/FileSystem.h"
#include "sys/Unicode.h"

namespace {

void logOpenError(int error) {
    switch (error) {
    case ENOENT: log(u"Error in File(): File or path not found."); break;
    case EACCES:
        log(u"Error in File(): Tried to open read-only file for writing, file's sharing mode does "
            u"not allow specified operations, or given path is directory.");
        break;
    case EEXIST:
        log(u"Error in File(): _O_CREAT and _O_EXCL flags specified, but filename already exists.");
        break;
    case EINVAL: log(u"Error in File(): Invalid oflag or pmode argument."); break;
    case EMFILE:
        log(u"Error in File(): No more file descriptors available (too many open files).");
        break;
    case sys::kErrorFileTooLarge:
        log(u"Error in File(): File is too large for a 32-bit stream.");
        break;
    case sys::kErrorNotRegularFile:
        log(u"Error in File(): Not a regular file (a pipe, device or socket).");
        break;
    default: break;
    }
}

} // namespace

size_t lastSeparator(std::u16string_view path) {
    const size_t slash = path.rfind(u'/');
    return slash == std::u16string_view::npos ? path.rfind(u'\\') : slash;
}

String folderPart(std::u16string_view path) {
    const size_t separator = lastSeparator(path);
    String folder;
    if (separator == std::u16string_view::npos) {
        folder = u"\\";
    } else {
        std::u16string before(path.substr(0, separator));
        folder.format(u"%s%c", before.c_str(), u'\\');
    }
    return folder;
}

void describePath(FileInfo& info, const String& path) {
    std::u16string_view text = path.view();
    const size_t separator = lastSeparator(text);
    info.name =
        separator == std::u16string_view::npos ? path : path.sub(int32_t(separator) + 1, -1);
    if (info.name.p == nullptr) info.name = u"";
    info.folder = folderPart(text);
    info.absoluteFolder = folderPart(sys::fullPath(text));
}

File::File(const String& path, int32_t create, int32_t binary, int32_t readOnly) {
    (void)binary; // every file is binary; the flag is kept for callers' sake
    setReportContext(u"File", u"File");
    log(u"Create:   %i", create);
    log(u"Binary:   %i", 1);
    log(u"ReadOnly: %i", readOnly);

    int error = 0;
    if (create) {
        descriptor = sys::openFile(
            path.view(), sys::OpenReadWrite | sys::OpenCreate | sys::OpenTruncate | sys::OpenBinary,
            error);
        fileSize = 0;
    } else {
        descriptor = sys::openFile(
            path.view(), (readOnly ? sys::OpenReadOnly : sys::OpenReadWrite) | sys::OpenBinary,
            error);
        fileSize = descriptor >= 0 ? int32_t(sys::fileLength(descriptor)) : 0;
    }
    log(u"Size:     %i b", fileSize);
    isOpen = descriptor >= 0 ? 1 : 0;
    openError = isOpen ? 0 : error;
    if (!isOpen) logOpenError(error);
    describePath(*this, path);
}

File::~File() {
    sys::closeFile(descriptor);
    descriptor = -1;
}

int32_t File::read(void* buffer, int32_t count) {
    if (!isOpen || !buffer) return 0;
    return sys::readFile(descriptor, buffer, count);
}

int32_t File::write(const void* buffer, int32_t count) {
    if (!isOpen || !buffer) return 0;
    return sys::writeFile(descriptor, buffer, count);
}

int32_t File::seek(int32_t offset, int32_t origin) {
    if (!isOpen) return 0;
    return sys::seekFile(descriptor, offset, origin);
}

int32_t File::tell() {
    return seek(0, 1);
}

int32_t File::size() {
    if (!isOpen) return 0;
    int32_t position = tell();
    if (position > fileSize) fileSize = position;
    return fileSize;
}

bool File::eof() {
    return !isOpen || sys::atEndOfFile(descriptor);
}

int32_t File::close() {
    sys::closeFile(descriptor);
    descriptor = -1;
    isOpen = 0;
    if (autoDelete) delete this;
    return 0;
}

String appDataFolder() {
    return String(sys::userDataFolder());
}
