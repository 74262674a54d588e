// SPDX-License-Identifier: MIT
// PNG through libpng's own reader, after PngChunks has checked the chunk
// lengths and the image size. libpng then skips every ancillary chunk but
// tRNS, so text, profiles and suggested palettes are never buffered or
// inflated, and the pixel buffer is allocated only after the size bound.
// Once the last row is decoded, libpng inflates whatever image data is left
// to find the stream's end; a file with more left than a stream's end needs
// is refused there, so extra data cannot inflate to gigabytes. libpng reports
// errors by longjmp, so the jump target's function keeps every C++ object in
// its caller's frame.
// Every form is expanded to 8-bit BGRA (16-bit samples rounded to 8, gray
// expanded, tRNS to alpha, interlacing undone); gamma is not applied. Asked
// for samples, a 16-bit file is expanded the same way but kept at 16 bits
// (RGBA, big-endian) and handed over as floats.
// Palette indices are expanded here rather than by libpng, which reads an
// index past the palette as black: such a file is refused, as BMP and TGA are.
// A plain file is read a row at a time and only wanted rows are expanded;
// an interlaced one is held whole, as its passes fill it in.
#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <png.h>

#include "d3d9/ImageDecoders.h"
#include "d3d9/ImageSamples.h"
#include "d3d9/PngChunks.h"

namespace d3dx::detail {
namespace {

static_assert(std::endian::native == std::endian::little,
              "BGRA bytes are read as 0xAARRGGBB words");

constexpr const char* kName = "PngDecoder";
// Compressed image data a stream may still hold after its last row: its end
// code, an empty final block and the checksum need a few bytes; this is far
// more, yet at deflate's best ratio (about 1032:1), with the 8 KiB libpng may
// have read ahead, it inflates to under 80 MB.
constexpr size_t kMaxImageDataAfterRows = 64 << 10;

struct PngState {
    ImageSource* source = nullptr;
    size_t position = 0;
    std::string error; // our own refusal, already prefixed
    // libpng's message, copied without allocating: nothing may throw through C frames.
    char message[200] = {};
    ImageRowSink* sink = nullptr;
    SampleRowSink* samples = nullptr; // takes 16-bit files when set
    ImageInfo info;
    // A decoded row: BGRA bytes, palette indices, or 16-bit RGBA samples
    // (two words a pixel); words keep it aligned for the BGRA view.
    std::vector<uint32_t> row;
    std::vector<float> floats;   // a row of 16-bit samples as floats
    std::vector<uint32_t> whole; // interlaced files only, rows as `row`
    std::vector<png_bytep> rows;
    size_t imageDataEnd = 0;   // from PngChunks
    uint64_t rowsToDecode = 0; // over every interlace pass
    uint64_t rowsDecoded = 0;
};

void readBytes(png_structp png, png_bytep data, size_t count) {
    auto* state = static_cast<PngState*>(png_get_io_ptr(png));
    if (!state->source->read(state->position, data, count)) png_error(png, "file is truncated");
    state->position += count;
}

void onError(png_structp png, png_const_charp message) {
    auto* state = static_cast<PngState*>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof state->message, "%s", message);
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

// The rows libpng decodes, one per call of a row transform: every row of a
// plain image, or of each Adam7 pass that has pixels.
uint64_t rowsToDecode(png_uint_32 width, png_uint_32 height, bool interlaced) {
    if (!interlaced) return height;
    uint64_t rows = 0;
    for (int pass = 0; pass < 7; ++pass)
        if (PNG_PASS_COLS(width, pass) > 0) rows += PNG_PASS_ROWS(height, pass);
    return rows;
}

// Runs for each decoded row before libpng moves on; after the last one it
// would inflate the rest of the image data, so the rest is measured first.
void onRowDecoded(png_structp png, png_row_infop, png_bytep) {
    auto* state = static_cast<PngState*>(png_get_io_ptr(png));
    if (++state->rowsDecoded != state->rowsToDecode) return;
    if (state->imageDataEnd > state->position &&
        state->imageDataEnd - state->position > kMaxImageDataAfterRows)
        png_error(png, "image data runs past the last row");
}

D3DFORMAT sourceFormat(int colorType, bool hasTransparency) {
    switch (colorType) {
    case PNG_COLOR_TYPE_GRAY: return hasTransparency ? D3DFMT_A8L8 : D3DFMT_L8;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return D3DFMT_A8L8;
    case PNG_COLOR_TYPE_PALETTE: return D3DFMT_P8;
    case PNG_COLOR_TYPE_RGB_ALPHA: return D3DFMT_A8R8G8B8;
    default: return hasTransparency ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    }
}

// Turns the index bytes libpng left at the start of a row into BGRA words,
// in place from the right end, so that no index is overwritten before it is
// read. False when an index names no entry of the palette.
bool expandPalette(png_structp png, png_infop info, uint32_t* row, int width) {
    png_colorp palette = nullptr;
    int paletteSize = 0;
    png_get_PLTE(png, info, &palette, &paletteSize);
    png_bytep alpha = nullptr;
    int alphaSize = 0;
    png_get_tRNS(png, info, &alpha, &alphaSize, nullptr);
    const uint8_t* indices = reinterpret_cast<const uint8_t*>(row);
    for (int x = width - 1; x >= 0; --x) {
        const int index = indices[x];
        if (index >= paletteSize) return false;
        const png_color& colour = palette[index];
        row[x] =
            argb(index < alphaSize ? alpha[index] : 255, colour.red, colour.green, colour.blue);
    }
    return true;
}

// A row of big-endian 16-bit RGBA samples as floats, each v / 65535 so that
// every one of the 65536 values stays its own.
void samplesToFloats(const uint32_t* row, int width, std::vector<float>& floats) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(row);
    for (size_t i = 0; i < size_t(width) * 4; ++i)
        floats[i] = float(bytes[2 * i] << 8 | bytes[2 * i + 1]) / 65535.0f;
}

// Only `png`, `info` and `state` are used after a jump, and none of them is
// changed between setjmp and longjmp in this frame.
bool readPng(png_structp png, png_infop info, PngState& state) {
    if (setjmp(png_jmpbuf(png))) return false;

    png_set_read_fn(png, &state, readBytes);
    png_set_sig_bytes(png, 0);
    // PngChunks has applied these bounds already; libpng's own copies stay
    // as a second fence.
    png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
    png_set_chunk_malloc_max(png, kMaxPngChunkBytes);
    // Every ancillary chunk but tRNS is skipped unread: nothing here uses it,
    // and a zTXt or iCCP chunk would otherwise be inflated and kept.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_read_info(png, info);

    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (!sizeAllowed(width, height, kName, state.error)) return false;
    state.rowsToDecode =
        rowsToDecode(width, height, png_get_interlace_type(png, info) != PNG_INTERLACE_NONE);
    const int colorType = png_get_color_type(png, info);
    const bool paletted = colorType == PNG_COLOR_TYPE_PALETTE;
    const bool hasTransparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    // Only a 16-bit file has more to give than 8 bits; palettes never do.
    const bool precise = state.samples && png_get_bit_depth(png, info) == 16;

    if (paletted) {
        png_set_packing(png); // one index per byte
    } else {
        if (!precise) png_set_scale_16(png);
        png_set_expand_gray_1_2_4_to_8(png);
        if (hasTransparency) png_set_tRNS_to_alpha(png);
        png_set_gray_to_rgb(png);
        if (!precise) png_set_bgr(png);
        png_set_filler(png, precise ? 0xFFFF : 0xFF, PNG_FILLER_AFTER);
    }
    png_set_interlace_handling(png);
    png_set_read_user_transform_fn(png, onRowDecoded);
    png_read_update_info(png, info);
    const size_t rowWords = precise ? size_t(width) * 2 : width;
    if (png_get_rowbytes(png, info) != (paletted ? size_t(width) : rowWords * 4))
        png_error(png, "unexpected row size after expansion");

    ImageRowSink& sink = *state.sink;
    const auto wanted = [&](int y) {
        return (precise ? state.samples->nextRowWanted(y) : sink.nextRowWanted(y)) == y;
    };
    if (precise) {
        state.samples->begin(int(width), int(height));
        state.floats.resize(size_t(width) * 4);
    } else {
        sink.begin(int(width), int(height));
    }
    // Every row's palette indices are checked, wanted or not, and a bad one
    // is reported once every row was read, so a file that is also cut short
    // says so first.
    bool badIndex = false;
    const auto hand = [&](int y, uint32_t* row) {
        badIndex = badIndex || (paletted && !expandPalette(png, info, row, int(width)));
        if (badIndex || !wanted(y)) return;
        if (precise) {
            samplesToFloats(row, int(width), state.floats);
            state.samples->take(y, state.floats.data());
        } else {
            sink.take(y, row);
        }
    };
    if (png_get_interlace_type(png, info) == PNG_INTERLACE_NONE) {
        // One row at a time: every row is inflated, but only wanted ones
        // are handed on (and, but for palettes, expanded).
        state.row.resize(rowWords);
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(png, reinterpret_cast<png_bytep>(state.row.data()), nullptr);
            if (paletted || wanted(int(y))) hand(int(y), state.row.data());
        }
    } else {
        // The passes fill the picture in over each other, so it is held
        // whole (sizeAllowed bounds it, at twice that for 16-bit samples).
        state.whole.resize(rowWords * height);
        state.rows.resize(height);
        for (png_uint_32 y = 0; y < height; ++y)
            state.rows[y] = reinterpret_cast<png_bytep>(state.whole.data() + y * rowWords);
        png_read_image(png, state.rows.data());
        for (png_uint_32 y = 0; y < height; ++y)
            if (paletted || wanted(int(y))) hand(int(y), state.whole.data() + y * rowWords);
    }
    if (badIndex) {
        refuse(state.error, kName, "pixel index past the palette");
        return false;
    }
    // Reads the chunks after the image data up to IEND, so a truncated file or
    // a bad checksum there is an error rather than a silently accepted file.
    png_read_end(png, nullptr);

    state.info =
        sourceInfo(int(width), int(height), sourceFormat(colorType, hasTransparency), D3DXIFF_PNG);
    return true;
}

struct PngReader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngReader() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

// Both entry points: 8-bit rows to `sink`, or 16-bit files to `samples`.
HRESULT decodeWithLibpng(ImageSource& source, ImageRowSink& sink, SampleRowSink* samples,
                         ImageInfo& info, std::string& why) {
    PngState state;
    if (const HRESULT checked = checkPngChunks(source, state.imageDataEnd, why); FAILED(checked))
        return checked;
    state.source = &source;
    state.sink = &sink;
    state.samples = samples;
    PngReader reader;
    reader.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, onError, onWarning);
    if (!reader.png) return E_OUTOFMEMORY;
    reader.info = png_create_info_struct(reader.png);
    if (!reader.info) return E_OUTOFMEMORY;
    if (!readPng(reader.png, reader.info, state)) {
        if (!state.error.empty()) {
            why = state.error;
            return D3DXERR_INVALIDDATA;
        }
        return refuse(why, kName, state.message);
    }
    info = state.info;
    return D3D_OK;
}

} // namespace

HRESULT decodePngRows(ImageSource& source, ImageRowSink& sink, ImageInfo& info, std::string& why) {
    return decodeWithLibpng(source, sink, nullptr, info, why);
}

HRESULT decodePngSamples(ImageSource& source, SampleRowSink& samples, ImageRowSink& rows,
                         ImageInfo& info, std::string& why) {
    return decodeWithLibpng(source, rows, &samples, info, why);
}

HRESULT decodePng(Bytes bytes, Decoded& out, std::string& why) {
    MemoryImageSource source(bytes.data(), bytes.size());
    LevelCollector collector(out);
    const HRESULT result = decodePngRows(source, collector, out.info, why);
    if (FAILED(result)) out.levels.clear();
    return result;
}

} // namespace d3dx::detail
