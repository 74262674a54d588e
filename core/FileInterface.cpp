// SPDX-License-Identifier: MIT
// The stream factory: the one place that decides between a file on disk and
// an entry inside a pack archive, so every reader gets archives for free.
#include "core/FileInterface.h"

#include "core/File.h"
#include "core/Log.h"
#include "core/Pack.h"
#include "core/Report.h"

FileInterface* FileInterface::open(String path, int32_t create, int32_t binary, int32_t readOnly) {
    (void)binary; // every stream is binary
    setReportContext(u"FileInterface", u"open");
    log(u"Filename: %s", path.text());

    FileInterface* stream = nullptr;
    const int32_t marker = path.find(String::borrow(u".pack:"));
    if (marker < 0) {
        stream = new File(path, create, 1, readOnly);
    } else {
        String archivePath = path.sub(0, marker + 5);
        String entryName = path.sub(marker + 6, -1);
        auto* pack = new Pack(archivePath, create);
        if (pack->valid) {
            auto* entry = new Pack::File(pack, entryName);
            entry->ownsPack = 1;
            stream = entry;
        } else {
            delete pack;
            stream = new File(String(u""), 0, 1, 0);
        }
    }
    stream->autoDelete = 1;
    return stream;
}
