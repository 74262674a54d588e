// SPDX-License-Identifier: MIT
// Makes or borrows the process's OpenGL 3.3 core context and reads its limits.
#include "d3d9/GlContext.h"

#include <SDL2/SDL.h>

#include <mutex>

#include "d3d9/Log.h"
#include "d3d9/WindowHost.h"

namespace d3d9::gl {
namespace {

struct OwnContext {
    bool tried = false;
    bool ok = false;
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    Limits limits;
};

OwnContext& own() {
    static OwnContext state;
    return state;
}

void readLimits(Limits& limits) {
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &limits.maxTextureSize);
    glGetIntegerv(GL_MAX_SAMPLES, &limits.maxSamples);
    limits.anisotropic = epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic") ||
                         epoxy_has_gl_extension("GL_ARB_texture_filter_anisotropic");
    if (limits.anisotropic) glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &limits.maxAnisotropy);
    limits.s3tc = epoxy_has_gl_extension("GL_EXT_texture_compression_s3tc");
    limits.robustness = epoxy_gl_version() >= 45 || epoxy_has_gl_extension("GL_KHR_robustness") ||
                        epoxy_has_gl_extension("GL_ARB_robustness");
    auto text = [](GLenum name) {
        const GLubyte* value = glGetString(name);
        return value ? std::string(reinterpret_cast<const char*>(value)) : std::string();
    };
    limits.vendor = text(GL_VENDOR);
    limits.renderer = text(GL_RENDERER);
    limits.version = text(GL_VERSION);
    takeError();
}

bool createOwnContext(OwnContext& state) {
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        logLine(std::string("no OpenGL: SDL video did not start: ") + SDL_GetError());
        return false;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    // Frames go through framebuffer objects, so the window needs no buffers of note.
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    state.window = SDL_CreateWindow("d3d9", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 16,
                                    16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!state.window) {
        logLine(std::string("no OpenGL: no window for a context: ") + SDL_GetError());
        return false;
    }
    state.context = SDL_GL_CreateContext(state.window);
    if (!state.context) {
        logLine(std::string("no OpenGL: no 3.3 core context: ") + SDL_GetError());
        SDL_DestroyWindow(state.window);
        state.window = nullptr;
        return false;
    }
    if (epoxy_gl_version() < 33) {
        logLine("no OpenGL: the context is older than 3.3");
        SDL_GL_DeleteContext(state.context);
        SDL_DestroyWindow(state.window);
        state.context = nullptr;
        state.window = nullptr;
        return false;
    }
    return true;
}

} // namespace

bool makeCurrent() {
    OwnContext& state = own();
    if (windowHost().makeContextCurrent()) {
        if (!state.tried) {
            state.tried = state.ok = true;
            readLimits(state.limits);
        }
        return true;
    }
    if (!state.tried) {
        state.tried = true;
        state.ok = createOwnContext(state);
        if (state.ok) readLimits(state.limits);
    }
    if (!state.ok) return false;
    if (SDL_GL_GetCurrentContext() != state.context &&
        SDL_GL_MakeCurrent(state.window, state.context) != 0)
        return false;
    return true;
}

const Limits& limits() {
    return own().limits;
}

bool contextWasReset() {
    if (!own().ok || !own().limits.robustness) return false;
    return glGetGraphicsResetStatus() != GL_NO_ERROR;
}

GLenum takeError() {
    GLenum first = GL_NO_ERROR;
    for (int i = 0; i < 32; ++i) {
        GLenum error = glGetError();
        if (error == GL_NO_ERROR) break;
        if (first == GL_NO_ERROR) first = error;
    }
    return first;
}

} // namespace d3d9::gl
