// SPDX-License-Identifier: MIT
// Stands in for IDirect3DDevice9's drawing on OpenGL 3.3: Clear and the four
// draw calls, the framebuffer of the current targets, the raster state and
// the samplers. The context is shared with the window layer's painting, so
// every call sets all the state it relies on and leaves framebuffer 0 and
// vertex array 0 bound.
//  [x] depth test and writes, colour write mask, alpha blending with every
//      blend factor and operation, culling, fill mode, point size
//  [x] samplers: point, linear, anisotropic and mip filters, wrap, mirror,
//      clamp and border addressing, LOD bias, largest mip level
//  [ ] stencil test, user clip planes, depth bias (logged once)
#include <algorithm>
#include <cstring>

#include "d3d9/Device.h"
#include "d3d9/Format.h"
#include "d3d9/GlContext.h"
#include "d3d9/Log.h"

namespace d3d9 {
namespace {

float asFloat(DWORD bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

bool primitiveShape(D3DPRIMITIVETYPE type, UINT primitives, GLenum* mode, UINT* vertices) {
    switch (type) {
    case D3DPT_POINTLIST:
        *mode = GL_POINTS;
        *vertices = primitives;
        return true;
    case D3DPT_LINELIST:
        *mode = GL_LINES;
        *vertices = primitives * 2;
        return true;
    case D3DPT_LINESTRIP:
        *mode = GL_LINE_STRIP;
        *vertices = primitives + 1;
        return true;
    case D3DPT_TRIANGLELIST:
        *mode = GL_TRIANGLES;
        *vertices = primitives * 3;
        return true;
    case D3DPT_TRIANGLESTRIP:
        *mode = GL_TRIANGLE_STRIP;
        *vertices = primitives + 2;
        return true;
    case D3DPT_TRIANGLEFAN:
        *mode = GL_TRIANGLE_FAN;
        *vertices = primitives + 2;
        return true;
    }
    return false;
}

GLenum compareFunction(DWORD func) {
    switch (func) {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return GL_LEQUAL;
    case D3DCMP_GREATER: return GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
    }
}

GLenum blendFactor(DWORD blend) {
    switch (blend) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case 11: return GL_SRC_ALPHA_SATURATE;
    default:
        logOnce("blend" + std::to_string(blend),
                "blend factor " + std::to_string(blend) + " is not honoured");
        return GL_ONE;
    }
}

GLenum blendEquation(DWORD op) {
    switch (op) {
    case 2: return GL_FUNC_SUBTRACT;
    case 3: return GL_FUNC_REVERSE_SUBTRACT;
    case 4: return GL_MIN;
    case 5: return GL_MAX;
    default: return GL_FUNC_ADD;
    }
}

GLint addressMode(DWORD mode) {
    switch (mode) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    case D3DTADDRESS_WRAP: return GL_REPEAT;
    default:
        logOnce("address" + std::to_string(mode),
                "texture address mode " + std::to_string(mode) + " is not honoured");
        return GL_MIRRORED_REPEAT;
    }
}

} // namespace

bool Device::prepareGl() {
    if (cpuOnly_ || glFailed_ || !makeCurrent()) return false;
    if (program_) return true;
    auto program = std::make_unique<FixedFunction>();
    if (!program->build()) {
        glFailed_ = true;
        logLine("draws go nowhere: the fixed-function program could not be made");
        return false;
    }
    program_ = std::move(program);
    glGenVertexArrays(1, &vao_);
    glGenFramebuffers(1, &framebuffer_);
    glGenBuffers(1, &streamVertices_);
    glGenBuffers(1, &streamIndices_);
    glGenSamplers(GLsizei(samplers_.size()), samplers_.data());
    return true;
}

void Device::releaseGl() {
    if (!program_ && !scratchFramebuffer_) return;
    if (!makeCurrent()) return;
    program_.reset();
    if (vao_) glDeleteVertexArrays(1, &vao_);
    if (framebuffer_) glDeleteFramebuffers(1, &framebuffer_);
    if (scratchFramebuffer_) glDeleteFramebuffers(1, &scratchFramebuffer_);
    if (streamVertices_) glDeleteBuffers(1, &streamVertices_);
    if (streamIndices_) glDeleteBuffers(1, &streamIndices_);
    if (samplers_[0]) glDeleteSamplers(GLsizei(samplers_.size()), samplers_.data());
}

GLuint Device::scratchFramebuffer() {
    if (!scratchFramebuffer_) glGenFramebuffers(1, &scratchFramebuffer_);
    return scratchFramebuffer_;
}

bool Device::bindTargets(int* width, int* height) {
    if (!renderTarget_) return false;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    GlAttachment color = renderTarget_->attachment();
    if (color.renderbuffer)
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                  color.renderbuffer);
    else
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, color.target, color.texture,
                               color.level);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
    if (depthStencil_) {
        GlAttachment depth = depthStencil_->attachment();
        const FormatInfo* info = formatInfo(depthStencil_->desc().Format);
        GLenum point = info && info->stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, point, GL_RENDERBUFFER, depth.renderbuffer);
    }
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        logOnce("fbo" + std::to_string(status),
                "the render target and depth surface cannot be drawn to together (" +
                    std::to_string(status) + ")");
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        return false;
    }
    *width = int(renderTarget_->desc().Width);
    *height = int(renderTarget_->desc().Height);
    return true;
}

void Device::applyRasterState() {
    const auto& rs = state_.render;
    const D3DVIEWPORT9& vp = state_.viewport;
    glViewport(GLint(vp.X), GLint(vp.Y), GLsizei(vp.Width), GLsizei(vp.Height));
    glDepthRange(vp.MinZ, vp.MaxZ);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_FRAMEBUFFER_SRGB);
    glEnable(GL_PROGRAM_POINT_SIZE);

    if (rs[D3DRS_ZENABLE] != D3DZB_FALSE && depthStencil_) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(compareFunction(rs[D3DRS_ZFUNC]));
        glDepthMask(rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
    } else {
        glDisable(GL_DEPTH_TEST);
    }

    // See FixedFunction.cpp: with y negated, Direct3D's clockwise front
    // faces are OpenGL's counter-clockwise ones.
    glFrontFace(GL_CCW);
    switch (rs[D3DRS_CULLMODE]) {
    case D3DCULL_CW:
        glEnable(GL_CULL_FACE);
        glCullFace(GL_FRONT);
        break;
    case D3DCULL_CCW:
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        break;
    default: glDisable(GL_CULL_FACE); break;
    }

    switch (rs[D3DRS_FILLMODE]) {
    case 1: glPolygonMode(GL_FRONT_AND_BACK, GL_POINT); break;
    case 2: glPolygonMode(GL_FRONT_AND_BACK, GL_LINE); break;
    default: glPolygonMode(GL_FRONT_AND_BACK, GL_FILL); break;
    }

    if (rs[D3DRS_ALPHABLENDENABLE]) {
        glEnable(GL_BLEND);
        DWORD source = rs[D3DRS_SRCBLEND], dest = rs[D3DRS_DESTBLEND];
        if (source == 12) { // both source alpha
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        } else if (source == 13) { // both inverse source alpha
            glBlendFunc(GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA);
        } else {
            glBlendFunc(blendFactor(source), blendFactor(dest));
        }
        glBlendEquation(blendEquation(rs[D3DRS_BLENDOP]));
    } else {
        glDisable(GL_BLEND);
    }
    DWORD mask = rs[D3DRS_COLORWRITEENABLE];
    glColorMask(mask & 1 ? GL_TRUE : GL_FALSE, mask & 2 ? GL_TRUE : GL_FALSE,
                mask & 4 ? GL_TRUE : GL_FALSE, mask & 8 ? GL_TRUE : GL_FALSE);
}

void Device::bindTextures(std::array<bool, kStages>& stageTextures) {
    bool chain = true;
    for (int s = 0; s < kStages; ++s) {
        stageTextures[size_t(s)] = false;
        glActiveTexture(GLenum(GL_TEXTURE0 + s));
        glBindTexture(GL_TEXTURE_2D, 0);
        if (state_.stage[size_t(s)][D3DTSS_COLOROP] == D3DTOP_DISABLE) chain = false;
        TextureCore* texture = state_.textures[size_t(s)].get();
        if (!chain || !texture || texture->cube()) continue;
        GLuint name = texture->prepareForDrawing();
        if (!name) continue;
        glActiveTexture(GLenum(GL_TEXTURE0 + s));
        glBindTexture(GL_TEXTURE_2D, name);
        stageTextures[size_t(s)] = true;

        const auto& ss = state_.sampler[size_t(s)];
        GLuint sampler = samplers_[size_t(s)];
        glBindSampler(GLuint(s), sampler);
        glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, addressMode(ss[D3DSAMP_ADDRESSU]));
        glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, addressMode(ss[D3DSAMP_ADDRESSV]));
        auto border = colorToFloats(ss[D3DSAMP_BORDERCOLOR]);
        glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, border.data());
        DWORD mag = ss[D3DSAMP_MAGFILTER], min = ss[D3DSAMP_MINFILTER], mip = ss[D3DSAMP_MIPFILTER];
        glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER,
                            mag == D3DTEXF_POINT || mag == D3DTEXF_NONE ? GL_NEAREST : GL_LINEAR);
        bool linear = !(min == D3DTEXF_POINT || min == D3DTEXF_NONE);
        GLint minFilter = linear ? GL_LINEAR : GL_NEAREST;
        if (mip == D3DTEXF_POINT)
            minFilter = linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
        else if (mip >= D3DTEXF_LINEAR)
            minFilter = linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
        glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, minFilter);
        if (gl::limits().anisotropic) {
            float anisotropy = 1;
            if (min == D3DTEXF_ANISOTROPIC || mag == D3DTEXF_ANISOTROPIC)
                anisotropy =
                    std::clamp(float(ss[D3DSAMP_MAXANISOTROPY]), 1.0f, gl::limits().maxAnisotropy);
            glSamplerParameterf(sampler, GL_TEXTURE_MAX_ANISOTROPY_EXT, anisotropy);
        }
        glSamplerParameterf(sampler, GL_TEXTURE_LOD_BIAS, asFloat(ss[D3DSAMP_MIPMAPLODBIAS]));
        glSamplerParameterf(sampler, GL_TEXTURE_MIN_LOD, float(ss[D3DSAMP_MAXMIPLEVEL]));
    }
    glActiveTexture(GL_TEXTURE0);
}

void Device::bindLayout(const VertexLayout& layout, UINT stride, size_t offset) {
    // The vertices are in the buffer bound to GL_ARRAY_BUFFER.
    auto pointer = [&](GLuint index, int elementOffset, GLint size, GLenum type, bool normalized) {
        if (elementOffset < 0) {
            glDisableVertexAttribArray(index);
            glVertexAttrib4f(index, 0, 0, 0, 1);
            return;
        }
        glEnableVertexAttribArray(index);
        glVertexAttribPointer(index, size, type, normalized ? GL_TRUE : GL_FALSE, GLsizei(stride),
                              reinterpret_cast<const void*>(offset + size_t(elementOffset)));
    };
    pointer(0, 0, layout.positionFloats, GL_FLOAT, false);
    pointer(1, layout.normal, 3, GL_FLOAT, false);
    // D3DCOLOR is B, G, R, A in memory, which GL_BGRA as a size reads as it is.
    pointer(2, layout.diffuse, GL_BGRA, GL_UNSIGNED_BYTE, true);
    pointer(3, layout.specular, GL_BGRA, GL_UNSIGNED_BYTE, true);
    pointer(4, layout.pointSize, 1, GL_FLOAT, false);
    for (int set = 0; set < 4; ++set)
        pointer(GLuint(5 + set), set < layout.texCount ? layout.tex[size_t(set)] : -1,
                layout.texSize[size_t(set)], GL_FLOAT, false);
}

HRESULT Device::draw(const DrawCall& call) {
    GLenum mode;
    UINT count;
    primitiveShape(call.type, call.primitiveCount, &mode, &count);
    if (!prepareGl()) return D3D_OK;
    int width = 0, height = 0;
    if (!bindTargets(&width, &height)) return D3D_OK;
    applyRasterState();
    std::array<bool, kStages> stageTextures{};
    bindTextures(stageTextures);
    program_->apply(state_, call.layout, stageTextures);

    glBindVertexArray(vao_);
    size_t indexSize = call.indexFormat == D3DFMT_INDEX32 ? 4 : 2;
    GLenum indexType = call.indexFormat == D3DFMT_INDEX32 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
    if (!call.vertices) {
        state_.stream->bind(GL_ARRAY_BUFFER);
        bindLayout(call.layout, call.stride, state_.streamOffset);
        if (call.indexed) {
            state_.indices->bind(GL_ELEMENT_ARRAY_BUFFER);
            glDrawElementsBaseVertex(mode, GLsizei(count), indexType,
                                     reinterpret_cast<const void*>(call.startIndex * indexSize),
                                     call.baseVertex);
        } else {
            glDrawArrays(mode, GLint(call.firstVertex), GLsizei(count));
        }
    } else {
        glBindBuffer(GL_ARRAY_BUFFER, streamVertices_);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(size_t(call.vertexCount) * call.stride),
                     call.vertices, GL_STREAM_DRAW);
        bindLayout(call.layout, call.stride, 0);
        if (call.indexed) {
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, streamIndices_);
            glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(count * indexSize), call.indices,
                         GL_STREAM_DRAW);
            glDrawElements(mode, GLsizei(count), indexType, nullptr);
        } else {
            glDrawArrays(mode, 0, GLsizei(count));
        }
    }
    glBindVertexArray(0);
    for (int s = 0; s < kStages; ++s) glBindSampler(GLuint(s), 0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glUseProgram(0);
    return D3D_OK;
}

HRESULT Device::Clear(DWORD count, const RECT* rects, DWORD flags, D3DCOLOR color, float z,
                      DWORD stencil) {
    if (flags == 0 || (count > 0 && !rects)) return D3DERR_INVALIDCALL;
    if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !depthStencil_)
        return D3DERR_INVALIDCALL;
    if (flags & D3DCLEAR_STENCIL) {
        const FormatInfo* info = formatInfo(depthStencil_->desc().Format);
        if (!info || !info->stencil) return D3DERR_INVALIDCALL;
    }
    if (!prepareGl()) return D3D_OK;
    int width = 0, height = 0;
    if (!bindTargets(&width, &height)) return D3D_OK;
    // Direct3D clears ignore the write masks but stay inside the viewport.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glStencilMask(0xFFFFFFFFu);
    glDisable(GL_FRAMEBUFFER_SRGB);
    auto c = colorToFloats(color);
    glClearColor(c[0], c[1], c[2], c[3]);
    glClearDepth(std::clamp(z, 0.0f, 1.0f));
    glClearStencil(GLint(stencil));
    GLbitfield bits = 0;
    if (flags & D3DCLEAR_TARGET) bits |= GL_COLOR_BUFFER_BIT;
    if (flags & D3DCLEAR_ZBUFFER) bits |= GL_DEPTH_BUFFER_BIT;
    if (flags & D3DCLEAR_STENCIL) bits |= GL_STENCIL_BUFFER_BIT;
    const D3DVIEWPORT9& vp = state_.viewport;
    RECT view{LONG(vp.X), LONG(vp.Y), LONG(vp.X + vp.Width), LONG(vp.Y + vp.Height)};
    glEnable(GL_SCISSOR_TEST);
    auto clearRect = [&](const RECT& r) {
        LONG left = std::max(r.left, view.left), top = std::max(r.top, view.top);
        LONG right = std::min(r.right, view.right), bottom = std::min(r.bottom, view.bottom);
        if (left >= right || top >= bottom) return;
        // Targets hold rows top-down, so Direct3D's top is OpenGL's y.
        glScissor(left, top, right - left, bottom - top);
        glClear(bits);
    };
    if (count == 0) clearRect(view);
    for (DWORD i = 0; i < count; ++i) clearRect(rects[i]);
    glDisable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return D3D_OK;
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    GLenum mode;
    UINT count;
    if (!primitiveShape(type, primitiveCount, &mode, &count)) return D3DERR_INVALIDCALL;
    if (primitiveCount == 0) return D3D_OK;
    VertexLayout layout = VertexLayout::decode(state_.fvf);
    if (!layout.valid || !state_.stream || state_.streamStride == 0) return D3DERR_INVALIDCALL;
    size_t end = state_.streamOffset + size_t(startVertex + count) * state_.streamStride;
    if (end > state_.stream->length()) return D3DERR_INVALIDCALL;
    if (cpuOnly_) return D3D_OK;
    DrawCall call{type, primitiveCount, layout, state_.streamStride};
    call.firstVertex = startVertex;
    return draw(call);
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, int32_t baseVertex, UINT minIndex,
                                     UINT vertexCount, UINT startIndex, UINT primitiveCount) {
    GLenum mode;
    UINT count;
    if (!primitiveShape(type, primitiveCount, &mode, &count)) return D3DERR_INVALIDCALL;
    if (primitiveCount == 0) return D3D_OK;
    VertexLayout layout = VertexLayout::decode(state_.fvf);
    if (!layout.valid || !state_.stream || !state_.indices || state_.streamStride == 0)
        return D3DERR_INVALIDCALL;
    size_t indexSize = state_.indices->format() == D3DFMT_INDEX32 ? 4 : 2;
    if ((size_t(startIndex) + count) * indexSize > state_.indices->length())
        return D3DERR_INVALIDCALL;
    // OpenGL needs no vertex range: minIndex and vertexCount are hints.
    (void)minIndex;
    (void)vertexCount;
    if (cpuOnly_) return D3D_OK;
    DrawCall call{type, primitiveCount, layout, state_.streamStride};
    call.indexed = true;
    call.indexFormat = state_.indices->format();
    call.startIndex = startIndex;
    call.baseVertex = baseVertex;
    return draw(call);
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices,
                                UINT stride) {
    GLenum mode;
    UINT count;
    if (!primitiveShape(type, primitiveCount, &mode, &count)) return D3DERR_INVALIDCALL;
    if (primitiveCount == 0) return D3D_OK;
    VertexLayout layout = VertexLayout::decode(state_.fvf);
    if (!vertices || stride == 0 || !layout.valid) return D3DERR_INVALIDCALL;
    // Direct3D forgets stream 0 after a draw from user memory.
    state_.stream.reset();
    state_.streamOffset = state_.streamStride = 0;
    if (cpuOnly_) return D3D_OK;
    DrawCall call{type, primitiveCount, layout, stride};
    call.vertices = vertices;
    call.vertexCount = count;
    return draw(call);
}

HRESULT Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT vertexCount,
                                       UINT primitiveCount, const void* indices,
                                       D3DFORMAT indexFormat, const void* vertices, UINT stride) {
    GLenum mode;
    UINT count;
    if (!primitiveShape(type, primitiveCount, &mode, &count)) return D3DERR_INVALIDCALL;
    if (primitiveCount == 0) return D3D_OK;
    VertexLayout layout = VertexLayout::decode(state_.fvf);
    if (!vertices || !indices || stride == 0 || !layout.valid || vertexCount == 0)
        return D3DERR_INVALIDCALL;
    if (indexFormat != D3DFMT_INDEX16 && indexFormat != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
    // Direct3D forgets stream 0 and the index buffer after a draw from user memory.
    state_.stream.reset();
    state_.streamOffset = state_.streamStride = 0;
    state_.indices.reset();
    if (cpuOnly_) return D3D_OK;
    DrawCall call{type, primitiveCount, layout, stride};
    call.vertices = vertices;
    // Indices count from the first vertex given, so the copy starts there too.
    call.vertexCount = minIndex + vertexCount;
    call.indexed = true;
    call.indices = indices;
    call.indexFormat = indexFormat;
    return draw(call);
}

} // namespace d3d9
