// SPDX-License-Identifier: MIT
// JPEG through libjpeg-turbo's decompressor, straight to BGRA rows. Its
// errors come back by longjmp; the warnings that mean lost image data (a file
// ending before its end marker, corrupt entropy data) are errors here too, so
// a half-grey picture is never passed off as the image. A progress monitor
// caps the number of scans, as a progressive file with thousands of tiny scans
// would otherwise cost minutes, and libjpeg's own working memory is capped.
#include <bit>
#include <csetjmp>
#include <cstdio>

// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

#include "d3d9/ImageDecoders.h"

namespace d3dx::detail {
namespace {

static_assert(std::endian::native == std::endian::little,
              "BGRA bytes are read as 0xAARRGGBB words");

constexpr const char* kName = "JpegDecoder";
// Encoders write about ten scans; a hundred leaves room for unusual scripts.
constexpr int kMaxScans = 100;
// Coefficient buffers of a progressive image of the largest allowed size.
constexpr long kMaxWorkingMemory = long(kMaxImageBytes * 2);

struct JpegErrors {
    jpeg_error_mgr base; // first, so libjpeg's pointer to it is ours
    jmp_buf jump;
    jpeg_progress_mgr progress{};
    char message[JMSG_LENGTH_MAX] = {};
};

[[noreturn]] void fail(j_common_ptr cinfo) {
    auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, errors->message);
    std::longjmp(errors->jump, 1);
}

void onErrorExit(j_common_ptr cinfo) {
    fail(cinfo);
}

void onMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return; // trace output
    switch (cinfo->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_MUST_RESYNC: fail(cinfo);
    default: ++cinfo->err->num_warnings; // e.g. stray bytes between markers: harmless
    }
}

void onProgress(j_common_ptr cinfo) {
    auto* decompress = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (decompress->input_scan_number > kMaxScans) {
        auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
        std::snprintf(errors->message, sizeof errors->message, "more than %d scans", kMaxScans);
        std::longjmp(errors->jump, 1);
    }
}

struct JpegState {
    Decoded* out = nullptr;
    std::string sizeError;
    std::vector<uint8_t> cmykRow;
};

// Adobe's CMYK JPEGs store inverted ink values; others store them plainly.
void cmykToArgb(const uint8_t* cmyk, uint32_t* row, int width, bool inverted) {
    for (int x = 0; x < width; ++x, cmyk += 4) {
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        row[x] = argb(255, (c * k + 127) / 255, (m * k + 127) / 255, (y * k + 127) / 255);
    }
}

// Only `cinfo`, `errors` and `state` are used after a jump, and none of them
// is changed between setjmp and longjmp in this frame.
bool readJpeg(jpeg_decompress_struct& cinfo, JpegErrors& errors, Bytes bytes, JpegState& state) {
    if (setjmp(errors.jump)) return false;

    jpeg_create_decompress(&cinfo);
    // Set after creation, which clears every field but the error manager.
    cinfo.progress = &errors.progress;
    cinfo.mem->max_memory_to_use = kMaxWorkingMemory;
    jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    if (!sizeAllowed(cinfo.image_width, cinfo.image_height, kName, state.sizeError)) return false;

    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_start_decompress(&cinfo);

    const int width = int(cinfo.output_width), height = int(cinfo.output_height);
    Decoded& out = *state.out;
    out.levels.push_back(makeImage(width, height));
    Image& image = out.levels.back();
    if (cmyk) state.cmykRow.resize(size_t(width) * 4);
    while (cinfo.output_scanline < cinfo.output_height) {
        uint32_t* row = image.pixels.data() + size_t(cinfo.output_scanline) * size_t(width);
        JSAMPROW target = cmyk ? state.cmykRow.data() : reinterpret_cast<JSAMPROW>(row);
        if (jpeg_read_scanlines(&cinfo, &target, 1) != 1) return false;
        if (cmyk) cmykToArgb(state.cmykRow.data(), row, width, cinfo.saw_Adobe_marker);
    }
    jpeg_finish_decompress(&cinfo);

    out.info = sourceInfo(width, height,
                          cinfo.jpeg_color_space == JCS_GRAYSCALE ? D3DFMT_L8 : D3DFMT_X8R8G8B8,
                          D3DXIFF_JPG);
    return true;
}

} // namespace

HRESULT decodeJpeg(Bytes bytes, Decoded& out, std::string& why) {
    jpeg_decompress_struct cinfo{};
    JpegErrors errors;
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onErrorExit;
    errors.base.emit_message = onMessage;
    errors.progress.progress_monitor = onProgress;

    JpegState state;
    state.out = &out;
    bool decoded = false;
    try {
        decoded = readJpeg(cinfo, errors, bytes, state);
    } catch (...) {
        jpeg_destroy_decompress(&cinfo);
        throw;
    }
    jpeg_destroy_decompress(&cinfo);
    if (decoded) return D3D_OK;
    out.levels.clear();
    if (!state.sizeError.empty()) {
        why = state.sizeError;
        return D3DXERR_INVALIDDATA;
    }
    if (errors.message[0] == 0) return refuse(why, kName, "decoding stopped early");
    return refuse(why, kName, errors.message);
}

} // namespace d3dx::detail
