// SPDX-License-Identifier: MIT
// Replaces a file only once its new contents are complete on disk: bytes go
// to a temporary file in the target's folder, which is synced and renamed
// over the target, then the folder is synced. A full disk, a size limit or a
// crash mid-write leaves the old file as it was.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sys {

class AtomicFile {
public:
    // `target` is engine path text; separators are handled as everywhere else.
    explicit AtomicFile(std::u16string_view target);
    ~AtomicFile(); // discards an uncommitted temporary file
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Each step returns false with a one-line reason in error(); later steps
    // then fail too, so a caller may check only commit().
    bool open();
    bool write(const void* data, size_t size);
    bool commit();

    int descriptor() const { return descriptor_; }
    const std::string& error() const { return error_; }
    const std::string& targetPath() const { return target_; }

private:
    bool fail(const char* step);

    std::string target_;
    std::string temporary_;
    std::string error_;
    int descriptor_ = -1;
    bool failed_ = false;
};

} // namespace sys
