// SPDX-License-Identifier: MIT
#include "app/OpenFileDialog.h"

#include <string_view>

#include "d3d9/ImageCodec.h"
#include "win/FileDialog.h"
#include "win/ThumbnailLoader.h"

namespace {

using namespace std::string_view_literals;

// Each list is one literal with embedded zeros; the view keeps its full
// length so the final empty string survives.
// Every format the decoders read is in the first entry and has one of its
// own; the formats the tool always offered keep their place at the top.
constexpr std::u16string_view kImages =
    u"Image files (*.jpg;*.bmp;*.pcx;*.tga;*.dds;*.png;*.dib;*.hdr;*.pfm;*.ppm)\0"
    u"*.jpg;*.jpeg;*.bmp;*.pcx;*.tga;*.dds;*.png;*.dib;*.hdr;*.pfm;*.ppm\0"
    u"JPEG (*.jpg)\0*.jpg;*.jpeg\0"
    u"Windows or OS/2 Bitmap (*.bmp)\0*.bmp\0"
    u"Zsoft Paintbrush (*.pcx)\0*.pcx\0"
    u"Truevision Targa(*.tga)\0*.tga\0"
    u"DirectDraw surface(*.dds)\0*.dds\0"
    u"Portable Network Graphics (*.png)\0*.png\0"
    u"Device-independent bitmap (*.dib)\0*.dib\0"
    u"Radiance HDR (*.hdr)\0*.hdr\0"
    u"Portable float map (*.pfm)\0*.pfm\0"
    u"Portable pixmap (*.ppm)\0*.ppm\0"
    u"All files (*.*)\0*.*\0"
    u"\0"sv;

constexpr std::u16string_view kSounds = u"Sound files (*.wav;*.ogg)\0*.wav;*.ogg\0"
                                        u"Wave (*.wav)\0*.wav\0"
                                        u"Ogg (*.ogg)\0*.ogg\0"
                                        u"All files (*.*)\0*.*\0"
                                        u"\0"sv;

constexpr int kPathCapacity = 260;

// The dialog previews with the decoders "Open" itself uses, so a thumbnail
// shows exactly what choosing the file would load.
bool decodeThumbnail(const uint8_t* bytes, size_t size, win::ThumbnailImage& out,
                     std::string& why) {
    d3dx::Image image;
    if (FAILED(d3dx::decodeImage(bytes, size, image, nullptr, &why))) return false;
    out.width = image.width;
    out.height = image.height;
    out.pixels = std::move(image.pixels);
    return true;
}

} // namespace

const char16_t* fileFilter(uint32_t id) {
    switch (id) {
    case kImageFilter: return kImages.data();
    case kSoundFilter: return kSounds.data();
    default: return nullptr; // the other sets belong to editors this tool does not carry
    }
}

int32_t openFileDialog(HWND owner, uint32_t filterId, String& path) {
    static const bool decoderSet = [] {
        win::setThumbnailDecoder(decodeThumbnail);
        return true;
    }();
    (void)decoderSet;
    char16_t buffer[kPathCapacity] = {};
    // A previous path that does not fit is not preselected rather than cut.
    if (path.length > 0 && path.length < kPathCapacity)
        std::copy(path.p, path.p + path.length, buffer);

    OPENFILENAMEW request{};
    request.lStructSize = 152;
    request.hwndOwner = owner;
    request.lpstrFilter = fileFilter(filterId);
    request.nFilterIndex = 1;
    request.lpstrFile = buffer;
    request.nMaxFile = kPathCapacity;
    request.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    if (!GetOpenFileNameW(&request)) return 0;
    path = buffer;
    return 1;
}
