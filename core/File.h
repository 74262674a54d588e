// SPDX-License-Identifier: MIT
// A file on disk as an engine stream. Opening never throws: a failed open
// logs why and leaves a stream whose isOpen is 0 and whose operations all
// return 0, so callers test isOpen once instead of checking every call.
#pragma once

#include <cstddef>
#include <string_view>

#include "core/FileInterface.h"

class File : public FileInterface {
public:
    int32_t descriptor = -1;
    // Why the open failed (an errno, or sys's own numbers); 0 once open.
    int32_t openError = 0;

    File() = default;
    // create: truncate or make the file, read/write. Otherwise open an existing
    // file, read-only when readOnly is set. Every file is binary.
    File(const String& path, int32_t create, int32_t binary, int32_t readOnly);
    ~File() override;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    int32_t read(void* buffer, int32_t count) override;
    int32_t write(const void* buffer, int32_t count) override;
    int32_t seek(int32_t offset, int32_t origin) override;
    int32_t tell() override;
    // Grows with the write position and never shrinks when seeking back.
    int32_t size() override;
    bool eof() override;
    void* memory() override { return nullptr; }
    int32_t close() override;
};

// The last '/' of a path, or its last '\' when it has no '/' at all; npos
// when it has neither. Every folder and file name the engine derives from a
// path follows this rule.
size_t lastSeparator(std::u16string_view path);

// The folder part of a path up to its last separator, ending in '\'; "\"
// alone when the path has no separator.
String folderPart(std::u16string_view path);

// Fills name, folder and absoluteFolder from a path as every stream does:
// the last '/' separates, or the last '\' when the path has no '/' at all.
void describePath(FileInfo& info, const String& path);

// The per-user folder for application data, or the empty text.
String appDataFolder();
