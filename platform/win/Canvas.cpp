// SPDX-License-Identifier: MIT
// The GL context, the dialog font and painting. One OpenGL 3.3 core context
// serves every window (made current on each as it paints) and the renderer
// behind D3D; a hidden 1x1 window holds it between paints. ImGui's draw
// lists go through the renderer of ImGuiRenderer.h.
// The dialog font is DejaVu Sans at the pixel height of the platform's 8-point
// dialog font (13 pixels at 96 DPI), or ImGui's own font when it is missing.
#include "win/Canvas.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#include <SDL.h>
#include <dlfcn.h>
#include <epoxy/gl.h>
#include <imgui.h>
#include <link.h>
#include <unistd.h>

#include "sys/Unicode.h"
#include "win/Controls.h"
#include "win/Gdi.h"
#include "win/ImGuiRenderer.h"
#include "win/Input.h"
#include "win/WinInternal.h"

namespace win {

TopLevel::~TopLevel() {
    if (imgui) ImGui::DestroyContext(imgui);
    if (window) SDL_DestroyWindow(window);
}

namespace canvas {
namespace {

constexpr const char* kFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr int kPaintIntervalMs = 16; // about 60 frames a second at most
constexpr int kOverlayIdleMs = 500;  // an overlay's caret blinks at this pace
constexpr float kFace = 240.0f / 255.0f;

// Latin, Latin-1, Latin Extended-A, general punctuation, the euro sign and
// the replacement character that stands for what could not be decoded.
const ImWchar kGlyphRanges[] = {0x0020, 0x00FF, 0x0100, 0x017F, 0x2000, 0x206F, 0x20AC,
                                0x20AC, 0x2122, 0x2122, 0xFFFD, 0xFFFD, 0};

struct State {
    bool ready = false;
    float scale = 1;
    int fontPixels = 13;
    ImFontAtlas* atlas = nullptr;
    ImFont* font = nullptr;
    SDL_Window* hidden = nullptr;
    SDL_GLContext context = nullptr;
    std::vector<std::unique_ptr<TopLevel>> doomed; // released while painting
} state;

// Mesa unloads its DRI driver with the last context, leaving the driver's
// caches unreachable (a leak report in every sanitizer run) and making the
// next init load and set it up again. Pinning whatever driver got loaded
// avoids both.
void pinGLDriver() {
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            if (info->dlpi_name && std::strstr(info->dlpi_name, "_dri.so"))
                dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}

void flushDoomed() {
    state.doomed.erase(std::remove_if(state.doomed.begin(), state.doomed.end(),
                                      [](const auto& top) { return !top->painting; }),
                       state.doomed.end());
}

} // namespace

bool init() {
    if (state.ready) return true;
    float diagonal = 0, horizontal = 0, vertical = 0;
    // Offscreen SDL knows no DPI; 96 then, as the platform's default. Scales
    // go in quarter steps, and never below 100 %, as the platform offers them.
    const float dpi = SDL_GetDisplayDPI(0, &diagonal, &horizontal, &vertical) == 0 && horizontal > 0
                          ? horizontal
                          : 96.0f;
    state.scale = std::max(1.0f, std::round(dpi / 96.0f * 4.0f) / 4.0f);
    state.fontPixels = int(std::lround(13 * state.scale));

    state.atlas = IM_NEW(ImFontAtlas)();
    if (access(kFontPath, R_OK) == 0) {
        ImFontConfig config;
        config.OversampleH = 2;
        config.OversampleV = 1;
        config.PixelSnapH = true; // whole-pixel glyph positions keep small text sharp
        state.font = state.atlas->AddFontFromFileTTF(kFontPath, float(state.fontPixels), &config,
                                                     kGlyphRanges);
    }
    if (!state.font) {
        log(u"win::canvas: DejaVu Sans not found; dialogs use ImGui's built-in font");
        ImFontConfig config;
        config.SizePixels = float(state.fontPixels);
        state.font = state.atlas->AddFontDefault(&config);
    }
    if (!state.font || !state.atlas->Build()) {
        log(u"win::canvas: no font could be built");
        IM_DELETE(state.atlas);
        state.atlas = nullptr;
        state.font = nullptr;
        return false;
    }

    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    state.hidden = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (state.hidden) state.context = SDL_GL_CreateContext(state.hidden);
    if (state.context && SDL_GL_MakeCurrent(state.hidden, state.context) == 0 &&
        imgui_gl::init(*state.atlas)) {
        // Paints are paced by the loop; waiting for vertical blank in every
        // window's swap would hold up the timers.
        SDL_GL_SetSwapInterval(0);
        pinGLDriver();
    } else {
        log(u"win::canvas: no OpenGL 3.3 context; windows run undrawn");
        if (state.context) SDL_GL_DeleteContext(state.context);
        state.context = nullptr;
    }
    state.ready = true;
    return true;
}

void shutdown() {
    if (!state.ready) return;
    state.doomed.clear();
    if (state.context) {
        SDL_GL_MakeCurrent(state.hidden, state.context);
        imgui_gl::shutdown();
        dropBitmapTextures();
        SDL_GL_MakeCurrent(nullptr, nullptr);
        SDL_GL_DeleteContext(state.context);
    }
    if (state.hidden) SDL_DestroyWindow(state.hidden);
    IM_DELETE(state.atlas);
    state = State{};
}

bool hasGL() {
    return state.context != nullptr;
}

bool makeCurrent(SDL_Window* window) {
    if (!state.context) return false;
    return SDL_GL_MakeCurrent(window ? window : state.hidden, state.context) == 0;
}

float scale() {
    return state.scale;
}
ImFont* dialogFont() {
    return state.font;
}
int fontHeight() {
    return state.fontPixels;
}

float textWidth(const std::string& utf8) {
    if (!state.font || utf8.empty()) return 0;
    return state.font
        ->CalcTextSizeA(float(state.fontPixels), FLT_MAX, 0, utf8.data(), utf8.data() + utf8.size())
        .x;
}

bool createTopLevel(WindowObject& window, const std::u16string& caption, int width, int height,
                    HWND modalFor) {
    const Uint32 flags = SDL_WINDOW_HIDDEN | (state.context ? SDL_WINDOW_OPENGL : 0);
    SDL_Window* sdl = SDL_CreateWindow(sys::utf16ToUtf8(caption).c_str(), SDL_WINDOWPOS_CENTERED,
                                       SDL_WINDOWPOS_CENTERED, width, height, flags);
    if (!sdl) {
        log(u"win: no window could be created: " + sys::utf8ToUtf16(SDL_GetError()));
        return false;
    }
    auto top = std::make_unique<TopLevel>();
    top->window = sdl;
    top->windowId = SDL_GetWindowID(sdl);
    if (WindowObject* owner = object(modalFor); owner && owner->top && owner->top->window)
        SDL_SetWindowModalFor(sdl, owner->top->window); // honoured on X11; elsewhere a hint only

    ImGuiContext* previous = ImGui::GetCurrentContext();
    top->imgui = ImGui::CreateContext(state.atlas);
    ImGui::SetCurrentContext(top->imgui);
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    io.LogFilename = nullptr;
    io.FontDefault = state.font;
    io.BackendPlatformName = "embossa-sdl2";
    io.BackendRendererName = "embossa-gl3";
    io.BackendFlags |= ImGuiBackendFlags_RendererHasVtxOffset;
    mapOverlayKeys(io);
    ImGui::StyleColorsLight();
    ImGui::GetStyle().ScaleAllSizes(state.scale);
    ImGui::SetCurrentContext(previous);

    window.top = std::move(top);
    return true;
}

void releaseTopLevel(std::unique_ptr<TopLevel> top) {
    if (!top) return;
    if (top->painting)
        state.doomed.push_back(std::move(top));
    else
        top.reset();
}

int paintDue() {
    const uint64_t now = SDL_GetTicks64();
    int wait = -1;
    const auto waitAtMost = [&wait](int ms) { wait = wait < 0 ? ms : std::min(wait, ms); };
    for (HWND window : liveWindows()) {
        WindowObject* w = object(window);
        if (!w || !w->top) continue;
        TopLevel& top = *w->top;
        if (top.overlay) {
            if (top.overlayFrames > 0)
                top.dirty = true;
            else if (now - top.lastPaintMs >= uint64_t(kOverlayIdleMs))
                top.dirty = true;
            else
                waitAtMost(int(top.lastPaintMs + kOverlayIdleMs - now));
        }
        if (!top.dirty && !top.ownerPaint) continue;
        if (!w->visible || top.minimized) {
            top.dirty = false; // repainted when shown or restored
            continue;
        }
        const uint64_t since = now - top.lastPaintMs;
        if (since < uint64_t(kPaintIntervalMs)) {
            waitAtMost(int(kPaintIntervalMs - since));
            continue;
        }
        paintNow(window);
        if (WindowObject* after = object(window); after && after->top && after->top->dirty)
            waitAtMost(kPaintIntervalMs);
    }
    return wait;
}

bool paintNow(HWND window, std::vector<uint8_t>* pixels, int* pixelWidth, int* pixelHeight) {
    WindowObject* w = object(window);
    if (!w || !w->top || w->top->painting) return false;
    TopLevel& top = *w->top; // kept alive by releaseTopLevel until this paint ends
    top.painting = true;
    struct EndPaint {
        TopLevel& top;
        ~EndPaint() {
            top.painting = false;
            flushDoomed();
        }
    } endPaint{top};

    if (top.ownerPaint) {
        // The procedure renders its own frame (the 3D view) before the
        // layer composites what it handed over.
        top.ownerPaint = false;
        if (!w->messageBox) SendMessageW(window, WM_PAINT, 0, 0);
        if (!object(window)) return false;
    }
    top.dirty = false;
    top.lastPaintMs = SDL_GetTicks64();
    if (top.overlayFrames > 0) --top.overlayFrames;

    int width = 0, height = 0, fbWidth = 0, fbHeight = 0;
    SDL_GetWindowSize(top.window, &width, &height);
    const bool gl = makeCurrent(top.window);
    if (gl)
        SDL_GL_GetDrawableSize(top.window, &fbWidth, &fbHeight);
    else
        fbWidth = width, fbHeight = height;
    if (width <= 0 || height <= 0) return false;

    ImGuiContext* previous = ImGui::GetCurrentContext();
    ImGui::SetCurrentContext(top.imgui);
    ImGuiIO& io = ImGui::GetIO();
    io.DisplaySize = ImVec2(float(width), float(height));
    io.DisplayFramebufferScale =
        ImVec2(float(fbWidth) / float(width), float(fbHeight) / float(height));
    const uint64_t counter = SDL_GetPerformanceCounter();
    io.DeltaTime = top.lastFrameCounter
                       ? std::max(1e-4f, float(double(counter - top.lastFrameCounter) /
                                               double(SDL_GetPerformanceFrequency())))
                       : 1.0f / 60.0f;
    top.lastFrameCounter = counter;
    feedOverlayInput(top.input, bool(top.overlay), io);

    ImGui::NewFrame();
    ImDrawList* list = ImGui::GetBackgroundDrawList();
    paintDialog(window, list, POINT{0, 0});
    for (HWND panel : std::vector<HWND>(w->panels))
        if (WindowObject* p = object(panel); p && p->visible)
            paintDialog(panel, list, POINT{p->rect.left, p->rect.top});
    if (top.overlay) {
        const std::function<void()> overlay = top.overlay; // it may remove itself
        overlay();
    }
    ImGui::Render();

    bool drawn = false;
    if (object(window) && gl && makeCurrent(top.window)) {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDisable(GL_SCISSOR_TEST);
        glViewport(0, 0, fbWidth, fbHeight);
        glClearColor(kFace, kFace, kFace, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        imgui_gl::render(*ImGui::GetDrawData(), fbWidth, fbHeight);
        if (pixels) {
            std::vector<uint8_t> bottomUp(size_t(fbWidth) * size_t(fbHeight) * 4);
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glPixelStorei(GL_PACK_ROW_LENGTH, 0);
            glReadPixels(0, 0, fbWidth, fbHeight, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
            const size_t row = size_t(fbWidth) * 4;
            pixels->resize(bottomUp.size());
            for (int y = 0; y < fbHeight; ++y)
                std::copy_n(bottomUp.data() + size_t(fbHeight - 1 - y) * row, row,
                            pixels->data() + size_t(y) * row);
            if (pixelWidth) *pixelWidth = fbWidth;
            if (pixelHeight) *pixelHeight = fbHeight;
        }
        SDL_GL_SwapWindow(top.window);
        drawn = true;
    }
    ImGui::SetCurrentContext(previous);
    return drawn;
}

unsigned bitmapTexture(HBITMAP handle) {
    BitmapObject* bitmap = bitmapObject(handle);
    if (!bitmap || !state.context) return 0;
    if (!bitmap->texture) {
        glGenTextures(1, &bitmap->texture);
        glBindTexture(GL_TEXTURE_2D, bitmap->texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        bitmap->textureVersion = 0;
    }
    if (bitmap->textureVersion != bitmap->version) {
        glBindTexture(GL_TEXTURE_2D, bitmap->texture);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        // 0x00RRGGBB in memory is B, G, R, 0: BGRA bytes, bottom row first as GL expects.
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, bitmap->width, bitmap->height, 0, GL_BGRA,
                     GL_UNSIGNED_BYTE, bitmap->pixels.data());
        bitmap->textureVersion = bitmap->version;
    }
    return bitmap->texture;
}

void deleteTexture(unsigned texture) {
    if (!texture || !state.context) return;
    if (SDL_GL_GetCurrentContext() != state.context) makeCurrent();
    glDeleteTextures(1, &texture);
}

} // namespace canvas

ImFont* dialogFont() {
    return canvas::dialogFont();
}
float displayScale() {
    return canvas::scale();
}

} // namespace win
