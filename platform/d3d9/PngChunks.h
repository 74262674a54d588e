// SPDX-License-Identifier: MIT
// What the PNG decoder checks before libpng sees a file. libpng trusts a
// chunk's length field until it has allocated for it (its own size cap is
// only a warning when reading), so every length is checked here first, from
// the bytes alone and without allocating for the file's contents. The walk
// also finds where the image data ends, which bounds how much of it libpng
// may still inflate once it has every row.
#pragma once

#include <string>

#include "d3d9/ImageDecoders.h"

namespace d3dx::detail {

// Chunks other than IDAT larger than this are refused; the image data itself
// is bounded by the image size instead.
inline constexpr uint32_t kMaxPngChunkBytes = 8 << 20;

// D3D_OK when the file opens with IHDR, every chunk up to IEND lies within
// the file, none but IDAT passes kMaxPngChunkBytes and the IHDR size passes
// sizeAllowed; `imageDataEnd` is then the offset just past the last chunk
// of the first run of IDAT chunks (0 if there is none). Otherwise
// D3DXERR_INVALIDDATA with `why` set ("PngDecoder: ...").
HRESULT checkPngChunks(ImageSource& source, size_t& imageDataEnd, std::string& why);

} // namespace d3dx::detail
