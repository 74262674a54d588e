// SPDX-License-Identifier: MIT
// Writes pack archives in the layout Pack reads: the magic, the entry count,
// then per entry its name length, name (Windows-1252), data size and data,
// every byte through the Coding table. Entries stream straight to the target,
// which must be seekable: the count is patched in by finish(). Names that
// Windows-1252 cannot hold, empty names, names with a NUL and duplicates are
// refused, since a reader could not open them by name; so is anything that
// would take the archive past the 32-bit sizes of the stream interface.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "core/Coding.h"
#include "core/FileInterface.h"

class PackWriter : public Coding {
public:
    // Writes the header at once; nothing is valid until finish() succeeds.
    explicit PackWriter(FileInterface& target);

    // Each returns false and sets `problem` on refusal or a failed write;
    // after a failed write the archive is incomplete and must be discarded.
    bool add(const String& name, const void* data, int32_t size);
    // Copies the whole of `source` from its start.
    bool add(const String& name, FileInterface& source);
    bool finish();

    String problem;

private:
    FileInterface& target_;
    int64_t written_ = 0;
    uint32_t count_ = 0;
    bool failed_ = false;
    std::set<std::u16string> names_;

    bool begin(const String& name, int32_t size);
    bool put(const void* data, int32_t size);
    bool putSize(uint32_t value);
    bool fail(const String& why);
};
