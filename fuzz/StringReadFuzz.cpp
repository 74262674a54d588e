// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to String::read, as a stored string in any engine
// file would be: the stored length must never drive a read or an allocation
// past what the stream holds.
#include <cstddef>
#include <cstdint>

#include "core/FileArray.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FileArray file;
    file.write(data, int32_t(size > 1 << 20 ? 1 << 20 : size));
    file.seek(0, 0);
    String text(u"unchanged");
    while (!file.eof()) {
        int32_t before = file.tell();
        text.read(file);
        if (file.tell() == before) break;
    }
    return 0;
}
