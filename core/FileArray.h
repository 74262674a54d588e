// SPDX-License-Identifier: MIT
// A file held in memory: images are pulled into one before decoding, and
// tests use it as a stream. A growable FileArray rounds its buffer up to
// whole steps so byte-by-byte writers do not reallocate per byte.
#pragma once

#include <cstdint>

#include "core/FileInterface.h"

class FileArray : public FileInterface {
public:
    uint8_t* buffer = nullptr;
    uint32_t used = 0;
    uint32_t position = 0;
    uint32_t capacity = 0;
    int32_t step = 4096;
    int32_t ownsBuffer = 1;
    int32_t growable = 1;

    FileArray() { isOpen = 1; }
    ~FileArray() override;
    FileArray(const FileArray&) = delete;
    FileArray& operator=(const FileArray&) = delete;

    int32_t read(void* target, int32_t count) override;
    int32_t write(const void* source, int32_t count) override;
    int32_t seek(int32_t offset, int32_t origin) override;
    int32_t tell() override { return int32_t(position); }
    int32_t size() override { return int32_t(used); }
    bool eof() override { return position >= used; }
    void* memory() override { return buffer; }
    int32_t close() override;

    // Replaces the contents by the whole of another stream. Returns whether
    // every byte arrived; on a short read `used` is what was read, and when
    // the memory is refused (logged) the file is left empty.
    bool load(FileInterface& source);

private:
    void freeBuffer();
    bool grow(uint64_t needed);
};
