// SPDX-License-Identifier: MIT
// PNG through libpng's own reader, with its limits set before the header is
// read: sides and the size of any one chunk are capped, and the pixel buffer is
// allocated only after the size bound. libpng reports errors by longjmp, so
// the jump target's function keeps every C++ object in its caller's frame.
// Every form is expanded to 8-bit BGRA (16-bit samples rounded to 8, palette
// and gray expanded, tRNS to alpha, interlacing undone); gamma is not applied.
#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <png.h>

#include "d3d9/ImageDecoders.h"

namespace d3dx::detail {
namespace {

static_assert(std::endian::native == std::endian::little,
              "BGRA bytes are read as 0xAARRGGBB words");

constexpr const char* kName = "PngDecoder";
// Ancillary chunks larger than this (text, ICC profiles) are refused rather
// than buffered; image data arrives in IDAT chunks that are streamed instead.
constexpr png_alloc_size_t kMaxChunkBytes = 8 << 20;

struct PngState {
    Bytes bytes;
    size_t position = 0;
    std::string error;
    // libpng's message, copied without allocating: nothing may throw through C frames.
    char message[200] = {};
    Decoded* out = nullptr;
    std::vector<png_bytep> rows;
    bool sizeRefused = false;
};

void readBytes(png_structp png, png_bytep data, size_t count) {
    auto* state = static_cast<PngState*>(png_get_io_ptr(png));
    if (count > state->bytes.size() - state->position) png_error(png, "file is truncated");
    std::memcpy(data, state->bytes.data() + state->position, count);
    state->position += count;
}

void onError(png_structp png, png_const_charp message) {
    auto* state = static_cast<PngState*>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof state->message, "%s", message);
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

D3DFORMAT sourceFormat(int colorType, bool hasTransparency) {
    switch (colorType) {
    case PNG_COLOR_TYPE_GRAY: return hasTransparency ? D3DFMT_A8L8 : D3DFMT_L8;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return D3DFMT_A8L8;
    case PNG_COLOR_TYPE_PALETTE: return D3DFMT_P8;
    case PNG_COLOR_TYPE_RGB_ALPHA: return D3DFMT_A8R8G8B8;
    default: return hasTransparency ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    }
}

// Only `png`, `info` and `state` are used after a jump, and none of them is
// changed between setjmp and longjmp in this frame.
bool readPng(png_structp png, png_infop info, PngState& state) {
    if (setjmp(png_jmpbuf(png))) return false;

    png_set_read_fn(png, &state, readBytes);
    png_set_sig_bytes(png, 0);
    png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
    png_set_chunk_malloc_max(png, kMaxChunkBytes);
    png_read_info(png, info);

    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (!sizeAllowed(width, height, kName, state.error)) {
        state.sizeRefused = true;
        return false;
    }
    const int colorType = png_get_color_type(png, info);
    const bool hasTransparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;

    png_set_scale_16(png);
    png_set_palette_to_rgb(png);
    png_set_expand_gray_1_2_4_to_8(png);
    if (hasTransparency) png_set_tRNS_to_alpha(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t(width) * 4)
        png_error(png, "unexpected row size after expansion");

    Decoded& out = *state.out;
    out.levels.push_back(makeImage(int(width), int(height)));
    Image& image = out.levels.back();
    state.rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        state.rows[y] = reinterpret_cast<png_bytep>(image.pixels.data() + size_t(y) * width);
    png_read_image(png, state.rows.data());
    // Reads the chunks after the image data up to IEND, so a truncated file or
    // a bad checksum there is an error rather than a silently accepted file.
    png_read_end(png, nullptr);

    out.info = sourceInfo(int(width), int(height), sourceFormat(colorType, hasTransparency),
                          D3DXIFF_PNG);
    return true;
}

struct PngReader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngReader() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

} // namespace

HRESULT decodePng(Bytes bytes, Decoded& out, std::string& why) {
    PngState state;
    state.bytes = bytes;
    state.out = &out;
    PngReader reader;
    reader.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, onError, onWarning);
    if (!reader.png) return E_OUTOFMEMORY;
    reader.info = png_create_info_struct(reader.png);
    if (!reader.info) return E_OUTOFMEMORY;
    if (!readPng(reader.png, reader.info, state)) {
        out.levels.clear();
        if (state.sizeRefused) {
            why = state.error;
            return D3DXERR_INVALIDDATA;
        }
        return refuse(why, kName, state.message);
    }
    return D3D_OK;
}

} // namespace d3dx::detail
