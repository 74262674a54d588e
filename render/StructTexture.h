// SPDX-License-Identifier: MIT
// The engine's texture manager. A StructTexture is a handle; handles share
// reference-counted records (one Direct3D texture or cube texture and a name)
// kept in one global list, and a record dies with its last handle. A handle
// with nothing of its own refers to the default record: a 32 × 32 checkerboard
// made when the device starts. Failures are logged and leave the handle on the
// record it had; nothing here talks to the user. Main thread only.
#pragma once

#include <cstdint>

#include "core/DialogTools.h"
#include "core/FileInterface.h"
#include "core/String.h"
#include "d3d9/D3D9.h"
#include "render/LinkedList.h"

class StructTexture {
public:
    struct Record {
        LinkedList<StructTexture> users;
        LinkedList<Record>::Node* node = nullptr; // null for the default record
        IDirect3DTexture9* texture = nullptr;
        IDirect3DCubeTexture9* cubeTexture = nullptr;
        String name;
        LinkedList<RECT> freeRects; // owns the RECTs; filled by create, used by add
        uint64_t reserved = 0;

        Record() = default;
        ~Record();
        Record(const Record&) = delete;
        Record& operator=(const Record&) = delete;
        void releaseTextures();
    };

    LinkedList<StructTexture>::Node* node = nullptr; // null on the default record
    Record* record;

    StructTexture();
    ~StructTexture();
    StructTexture(const StructTexture&) = delete;
    StructTexture& operator=(const StructTexture&) = delete;

    static Record& defaultRecord();
    static LinkedList<Record>& records();
    // Called once the device exists; makes the checkerboard again if called twice.
    static void initDefaultTexture();
    // Process exit and tests: the default record lets go of its texture.
    static void releaseDefaultTexture();

    // Each returns 1 when the handle got its new record, else 0.
    int32_t load(const String& name);
    // colorKey: blue, green, red, or null for none. The requested width and
    // height are not used: D3DX takes the size from the file and rounds it
    // to powers of two.
    int32_t loadD3DX(const String& name, int32_t width, int32_t height, const uint8_t* colorKey,
                     uint32_t mipLevels, D3DFORMAT format);
    // The stream's whole content, which must be in memory (a FileArray). The
    // engine's callers may pass two more numbers, which it has never read.
    int32_t loadD3DXFromFile(const String& name, FileInterface& file, uint32_t mipLevels,
                             D3DFORMAT format, int32_t = 0, int32_t = 0);
    // mipLevels 0xFFFFFFFF: as many as the source has.
    int32_t loadFromTex(StructTexture& source, uint32_t mipLevels, D3DFORMAT format);
    int32_t create(const String& name, uint32_t width, uint32_t height, uint32_t levels,
                   DWORD usage, D3DFORMAT format, D3DPOOL pool);
    int32_t createCubeMap(const String& name, uint32_t edgeLength, D3DFORMAT format);
    int32_t copy(StructTexture& source);
    // Levels 1 and up from level 0; 2- and 4-byte formats only.
    int32_t genMipmaps();
    // Draws level 0 into the bitmap upright (its row 0 is the bottom line).
    int32_t copyToBitmap(DialogTools::Bitmap& bitmap);
    // Places the source's level 0 into a free rectangle of this texture
    // (first fit, the rectangle's top-left corner) and reports where.
    int32_t add(StructTexture& source, POINT& position, RECT& placed);

    // Back to the default record; the old record goes with its last handle.
    void release() { detach(); }
    bool isDefault() const { return record == &defaultRecord(); }
    IDirect3DTexture9* texture() const { return record->texture; }
    IDirect3DCubeTexture9* cubeTexture() const { return record->cubeTexture; }
    const String& name() const { return record->name; }

private:
    void attach(Record* target);
    void detach();
    static Record* newRecord();
    // Points every user back to the default record, then destroys it.
    static void destroyRecord(Record* doomed);
};
