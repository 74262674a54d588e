// SPDX-License-Identifier: MIT
// JPEG through libjpeg-turbo's decompressor, straight to BGRA rows. Its
// errors come back by longjmp; the warnings that mean lost image data (a file
// ending before its end marker, corrupt entropy data) are errors here too, so
// a half-grey picture is never passed off as the image. A progress monitor
// caps the number of scans, as a progressive file with thousands of tiny scans
// would otherwise cost minutes, and libjpeg's own working memory is capped.
// Rows nobody asked for are skipped: libjpeg still decodes their entropy
// data (so a fault there is still found) but does no inverse DCT or colour
// conversion for them.
#include <algorithm>
#include <bit>
#include <csetjmp>
#include <cstdio>
#include <memory>

// jpeglib.h needs size_t and FILE declared first. The inverse DCT's entry
// points (jpegint.h) are wrapped to pass over unwanted columns; that table
// is libjpeg-turbo's private layout, so the wrapping is kept to the versions
// it was checked on (the streaming tests compare every wanted column).
#define JPEG_INTERNALS
#include <jerror.h>
#include <jpeglib.h>

#if defined(LIBJPEG_TURBO_VERSION_NUMBER) && LIBJPEG_TURBO_VERSION_NUMBER >= 2000000 &&            \
    LIBJPEG_TURBO_VERSION_NUMBER < 3000000
#define EMBOSSA_JPEG_COLUMN_SKIP 1
#else
#define EMBOSSA_JPEG_COLUMN_SKIP 0
#endif

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

// Feeds libjpeg from an ImageSource a block at a time. Running out is what
// jpeg_mem_src does at the end of its buffer: a warning (an error here) and
// an end marker, so a short file fails the same way from either.
struct StreamSource {
    jpeg_source_mgr base{}; // first, so libjpeg's pointer to it is ours
    ImageSource* source = nullptr;
    size_t position = 0;
    JOCTET buffer[64 << 10];
};

void initSource(j_decompress_ptr) {}

boolean fillInput(j_decompress_ptr cinfo) {
    static const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};
    auto* stream = reinterpret_cast<StreamSource*>(cinfo->src);
    const size_t left = stream->source->size() - stream->position;
    const size_t count = std::min(left, sizeof stream->buffer);
    if (count == 0 || !stream->source->read(stream->position, stream->buffer, count)) {
        WARNMS(cinfo, JWRN_JPEG_EOF);
        stream->position = stream->source->size();
        stream->base.next_input_byte = kEndOfImage;
        stream->base.bytes_in_buffer = 2;
        return TRUE;
    }
    stream->position += count;
    stream->base.next_input_byte = stream->buffer;
    stream->base.bytes_in_buffer = count;
    return TRUE;
}

void skipInput(j_decompress_ptr cinfo, long count) {
    auto* stream = reinterpret_cast<StreamSource*>(cinfo->src);
    if (count <= 0) return;
    size_t skip = size_t(count);
    if (skip <= stream->base.bytes_in_buffer) {
        stream->base.next_input_byte += skip;
        stream->base.bytes_in_buffer -= skip;
        return;
    }
    skip -= stream->base.bytes_in_buffer;
    stream->base.bytes_in_buffer = 0;
    stream->position += std::min(skip, stream->source->size() - stream->position);
}

void termSource(j_decompress_ptr) {}

void useSource(jpeg_decompress_struct& cinfo, StreamSource& stream, ImageSource& source) {
    if (const uint8_t* bytes = source.memory()) {
        jpeg_mem_src(&cinfo, bytes, static_cast<unsigned long>(source.size()));
        return;
    }
    stream.source = &source;
    stream.base.init_source = initSource;
    stream.base.fill_input_buffer = fillInput;
    stream.base.skip_input_data = skipInput;
    stream.base.resync_to_restart = jpeg_resync_to_restart;
    stream.base.term_source = termSource;
    cinfo.src = &stream.base;
}

// The blocks of each component whose samples some wanted column reads, and
// the inverse DCTs libjpeg chose, which run for those blocks only. A wanted
// pixel reads its own sample of each component and, through fancy
// upsampling, the samples either side; blocks holding none of these are
// left undone, and the garbage they leave reaches unwanted pixels only.
struct ColumnSkip {
    inverse_DCT_method_ptr idct[MAX_COMPONENTS] = {};
    std::vector<uint8_t> wanted[MAX_COMPONENTS];
};

void skippingIdct(j_decompress_ptr cinfo, jpeg_component_info* component, JCOEFPTR coefficients,
                  JSAMPARRAY output, JDIMENSION column) {
    auto* skip = static_cast<ColumnSkip*>(cinfo->client_data);
    const int index = component->component_index;
    const size_t block = column / DCTSIZE;
    if (block < skip->wanted[index].size() && !skip->wanted[index][block]) return;
    skip->idct[index](cinfo, component, coefficients, output, column);
}

// Installs skippingIdct where it saves work: unscaled output, and most
// columns unwanted. Called once the output pass has started.
void skipUnwantedColumns(jpeg_decompress_struct& cinfo, const ImageRowSink& sink,
                         ColumnSkip& skip) {
    if (!EMBOSSA_JPEG_COLUMN_SKIP) return;
    const int width = int(cinfo.output_width);
    if (cinfo.scale_num != cinfo.scale_denom || !cinfo.do_fancy_upsampling) return;
    std::vector<int> columns;
    for (int x = 0; x < width; ++x)
        if (sink.wantsColumn(x)) columns.push_back(x);
    if (columns.size() * 4 > size_t(width) * 3) return;
    for (int ci = 0; ci < cinfo.num_components; ++ci) {
        jpeg_component_info& component = cinfo.comp_info[ci];
        if (component.DCT_scaled_size != DCTSIZE) return;
        std::vector<uint8_t>& wanted = skip.wanted[component.component_index];
        wanted.assign(component.width_in_blocks, 0);
        const int64_t across = component.h_samp_factor, most = cinfo.max_h_samp_factor;
        for (int x : columns) {
            const int64_t sample = int64_t(x) * across / most;
            for (int64_t s = sample - 1; s <= sample + 1; ++s) {
                const int64_t block = s / DCTSIZE;
                if (s >= 0 && block < int64_t(wanted.size())) wanted[size_t(block)] = 1;
            }
        }
    }
    for (int ci = 0; ci < cinfo.num_components; ++ci) {
        const int index = cinfo.comp_info[ci].component_index;
        skip.idct[index] = cinfo.idct->inverse_DCT[index];
        cinfo.idct->inverse_DCT[index] = skippingIdct;
    }
    cinfo.client_data = &skip;
}

struct JpegState {
    ImageSource* source = nullptr;
    ImageRowSink* sink = nullptr;
    ImageInfo info;
    std::string sizeError;
    std::vector<uint32_t> row;
    std::vector<uint8_t> cmykRow;
    std::unique_ptr<StreamSource> stream;
    ColumnSkip skip;
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
bool readJpeg(jpeg_decompress_struct& cinfo, JpegErrors& errors, JpegState& state) {
    if (setjmp(errors.jump)) return false;

    jpeg_create_decompress(&cinfo);
    // Set after creation, which clears every field but the error manager.
    cinfo.progress = &errors.progress;
    cinfo.mem->max_memory_to_use = kMaxWorkingMemory;
    useSource(cinfo, *state.stream, *state.source);
    jpeg_read_header(&cinfo, TRUE);
    if (!sizeAllowed(cinfo.image_width, cinfo.image_height, kName, state.sizeError)) return false;

    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_start_decompress(&cinfo);

    const int width = int(cinfo.output_width), height = int(cinfo.output_height);
    ImageRowSink& sink = *state.sink;
    sink.begin(width, height);
    skipUnwantedColumns(cinfo, sink, state.skip);
    state.row.resize(size_t(width));
    if (cmyk) state.cmykRow.resize(size_t(width) * 4);
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = int(cinfo.output_scanline);
        // The last row is always read: skipping to the end would leave the
        // rest of the entropy data undecoded, and a fault there unseen.
        const int wanted = std::min(sink.nextRowWanted(y), height - 1);
        if (wanted > y) {
            jpeg_skip_scanlines(&cinfo, JDIMENSION(wanted - y));
            continue;
        }
        JSAMPROW target =
            cmyk ? state.cmykRow.data() : reinterpret_cast<JSAMPROW>(state.row.data());
        if (jpeg_read_scanlines(&cinfo, &target, 1) != 1) return false;
        if (sink.nextRowWanted(y) != y) continue;
        if (cmyk) cmykToArgb(state.cmykRow.data(), state.row.data(), width, cinfo.saw_Adobe_marker);
        sink.take(y, state.row.data());
    }
    jpeg_finish_decompress(&cinfo);

    state.info = sourceInfo(width, height,
                            cinfo.jpeg_color_space == JCS_GRAYSCALE ? D3DFMT_L8 : D3DFMT_X8R8G8B8,
                            D3DXIFF_JPG);
    return true;
}

} // namespace

HRESULT decodeJpegRows(ImageSource& source, ImageRowSink& sink, ImageInfo& info, std::string& why) {
    jpeg_decompress_struct cinfo{};
    JpegErrors errors;
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onErrorExit;
    errors.base.emit_message = onMessage;
    errors.progress.progress_monitor = onProgress;

    JpegState state;
    state.source = &source;
    state.sink = &sink;
    state.stream = std::make_unique<StreamSource>();
    bool decoded = false;
    try {
        decoded = readJpeg(cinfo, errors, state);
    } catch (...) {
        jpeg_destroy_decompress(&cinfo);
        throw;
    }
    jpeg_destroy_decompress(&cinfo);
    if (decoded) {
        info = state.info;
        return D3D_OK;
    }
    if (!state.sizeError.empty()) {
        why = state.sizeError;
        return D3DXERR_INVALIDDATA;
    }
    if (errors.message[0] == 0) return refuse(why, kName, "decoding stopped early");
    return refuse(why, kName, errors.message);
}

HRESULT decodeJpeg(Bytes bytes, Decoded& out, std::string& why) {
    MemoryImageSource source(bytes.data(), bytes.size());
    LevelCollector collector(out);
    const HRESULT result = decodeJpegRows(source, collector, out.info, why);
    if (FAILED(result)) out.levels.clear();
    return result;
}

} // namespace d3dx::detail
