// SPDX-License-Identifier: MIT
// Textures and cube textures: level storage in CPU memory or on the GPU,
// locking, and the upload of changed levels before a draw.
#include "d3d9/Texture.h"

#include <algorithm>

#include "d3d9/Device.h"
#include "d3d9/Format.h"
#include "d3d9/GlContext.h"
#include "d3d9/Log.h"

namespace d3d9 {

TextureCore* textureCore(IDirect3DBaseTexture9* texture) {
    return dynamic_cast<TextureCore*>(texture);
}

TextureCore::TextureCore(Device* device, bool cube, UINT width, UINT height, UINT levels,
                         DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : ResourceCore(device, pool), cube_(cube), width_(width), height_(height), levelCount_(levels),
      usage_(usage), format_(format) {}

TextureCore::~TextureCore() {
    surfaces_.clear();
    if (texture_ && device()->makeCurrent()) glDeleteTextures(1, &texture_);
}

UINT TextureCore::width(UINT level) const {
    return std::max(1u, width_ >> level);
}
UINT TextureCore::height(UINT level) const {
    return std::max(1u, height_ >> level);
}

HRESULT TextureCore::init() {
    info_ = formatInfo(format_);
    if (!info_ || info_->depth) {
        logLine("texture format " + std::to_string(format_) + " is not offered");
        return D3DERR_INVALIDCALL;
    }
    const D3DCAPS9& caps = device()->caps();
    if (width_ == 0 || height_ == 0 || width_ > caps.MaxTextureWidth ||
        height_ > caps.MaxTextureHeight)
        return D3DERR_INVALIDCALL;
    if (pool() > D3DPOOL_SCRATCH) return D3DERR_INVALIDCALL;
    if (usage_ & D3DUSAGE_DEPTHSTENCIL) return D3DERR_INVALIDCALL;
    if ((usage_ & D3DUSAGE_DYNAMIC) && pool() == D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
    if (usage_ & D3DUSAGE_RENDERTARGET) {
        if (pool() != D3DPOOL_DEFAULT || !info_->renderTarget || (usage_ & D3DUSAGE_DYNAMIC))
            return D3DERR_INVALIDCALL;
    }
    if (info_->compressed && !device()->cpuOnly() && !gl::limits().s3tc &&
        pool() != D3DPOOL_SCRATCH && pool() != D3DPOOL_SYSTEMMEM)
        return D3DERR_INVALIDCALL;

    UINT full = 1;
    for (UINT size = std::max(width_, height_); size > 1; size >>= 1) ++full;
    if (usage_ & D3DUSAGE_AUTOGENMIPMAP) {
        logOnce("autogen", "D3DUSAGE_AUTOGENMIPMAP is not honoured: one level is made");
        if (levelCount_ > 1) return D3DERR_INVALIDCALL;
        levelCount_ = 1;
    }
    if (levelCount_ == 0) levelCount_ = full;
    if (levelCount_ > full) return D3DERR_INVALIDCALL;

    bool cpuOnly = device()->cpuOnly();
    cpuCopy_ = cpuOnly || pool() != D3DPOOL_DEFAULT || (usage_ & D3DUSAGE_DYNAMIC);
    onGpu_ = !cpuOnly && pool() != D3DPOOL_SYSTEMMEM && pool() != D3DPOOL_SCRATCH;

    levels_.resize(size_t(faces()) * levelCount_);
    if (cpuCopy_) {
        for (UINT face = 0; face < faces(); ++face)
            for (UINT i = 0; i < levelCount_; ++i) {
                Level& level = slot(D3DCUBEMAP_FACES(face), i);
                level.bytes.assign(size_t(levelPitch(i)) * rowCount(*info_, height(i)), 0);
                level.dirty = true;
            }
    }
    if (onGpu_ && !cpuCopy_ && !createGlTexture()) return D3DERR_OUTOFVIDEOMEMORY;

    for (UINT face = 0; face < faces(); ++face)
        for (UINT i = 0; i < levelCount_; ++i) {
            D3DSURFACE_DESC desc;
            levelDesc(i, &desc);
            surfaces_.push_back(std::make_unique<Surface>(this, D3DCUBEMAP_FACES(face), i, desc));
        }
    return D3D_OK;
}

uint32_t TextureCore::levelPitch(UINT level) const {
    return rowPitch(*info_, width(level));
}

HRESULT TextureCore::levelDesc(UINT level, D3DSURFACE_DESC* desc) const {
    if (!desc || level >= levelCount_) return D3DERR_INVALIDCALL;
    desc->Format = format_;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = usage_;
    desc->Pool = pool();
    desc->MultiSampleType = D3DMULTISAMPLE_NONE;
    desc->MultiSampleQuality = 0;
    desc->Width = width(level);
    desc->Height = height(level);
    return D3D_OK;
}

HRESULT TextureCore::surface(D3DCUBEMAP_FACES face, UINT level, IDirect3DSurface9** surface) {
    if (!surface) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (level >= levelCount_ || UINT(face) >= faces()) return D3DERR_INVALIDCALL;
    Surface* found = surfaces_[size_t(face) * levelCount_ + level].get();
    found->AddRef();
    *surface = found;
    return D3D_OK;
}

HRESULT TextureCore::lock(D3DCUBEMAP_FACES face, UINT level, D3DLOCKED_RECT* locked,
                          const RECT* rect, DWORD flags) {
    if (!locked || level >= levelCount_ || UINT(face) >= faces()) return D3DERR_INVALIDCALL;
    locked->pBits = nullptr;
    locked->Pitch = 0;
    // Direct3D keeps default-pool textures out of reach unless they are
    // dynamic, also where they happen to live in CPU memory.
    if (!cpuCopy_ || (pool() == D3DPOOL_DEFAULT && !(usage_ & D3DUSAGE_DYNAMIC)))
        return D3DERR_INVALIDCALL;
    Level& target = slot(face, level);
    if (target.locked) return D3DERR_INVALIDCALL;
    uint32_t pitch = levelPitch(level);
    size_t offset = 0;
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right ||
            rect->top >= rect->bottom || UINT(rect->right) > width(level) ||
            UINT(rect->bottom) > height(level))
            return D3DERR_INVALIDCALL;
        if (info_->compressed) {
            if (rect->left % 4 != 0 || rect->top % 4 != 0) return D3DERR_INVALIDCALL;
            offset = size_t(rect->top / 4) * pitch + size_t(rect->left / 4) * info_->bytes;
        } else {
            offset = size_t(rect->top) * pitch + size_t(rect->left) * info_->bytes;
        }
    }
    target.locked = true;
    target.lockReadOnly = (flags & D3DLOCK_READONLY) != 0;
    locked->Pitch = int32_t(pitch);
    locked->pBits = target.bytes.data() + offset;
    return D3D_OK;
}

HRESULT TextureCore::unlock(D3DCUBEMAP_FACES face, UINT level) {
    if (level >= levelCount_ || UINT(face) >= faces()) return D3DERR_INVALIDCALL;
    Level& target = slot(face, level);
    if (!target.locked) return D3DERR_INVALIDCALL;
    target.locked = false;
    if (!target.lockReadOnly) target.dirty = true;
    return D3D_OK;
}

HRESULT TextureCore::writeLevel(D3DCUBEMAP_FACES face, UINT level, const uint8_t* bytes) {
    if (level >= levelCount_ || UINT(face) >= faces()) return D3DERR_INVALIDCALL;
    size_t size = size_t(levelPitch(level)) * rowCount(*info_, height(level));
    if (cpuCopy_) {
        Level& target = slot(face, level);
        if (target.locked) return D3DERR_INVALIDCALL;
        target.bytes.assign(bytes, bytes + size);
        target.dirty = true;
        return D3D_OK;
    }
    if (!texture_ || !device()->makeCurrent()) return D3DERR_INVALIDCALL;
    GLenum bindTarget = cube_ ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D;
    glBindTexture(bindTarget, texture_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    if (info_->compressed)
        glCompressedTexSubImage2D(glTarget(face), GLint(level), 0, 0, GLsizei(width(level)),
                                  GLsizei(height(level)), info_->internalFormat, GLsizei(size),
                                  bytes);
    else
        glTexSubImage2D(glTarget(face), GLint(level), 0, 0, GLsizei(width(level)),
                        GLsizei(height(level)), info_->glFormat, info_->glType, bytes);
    glBindTexture(bindTarget, 0);
    return D3D_OK;
}

HRESULT TextureCore::readLevel(D3DCUBEMAP_FACES face, UINT level, std::vector<uint8_t>& bytes) {
    if (level >= levelCount_ || UINT(face) >= faces()) return D3DERR_INVALIDCALL;
    if (cpuCopy_) {
        bytes = slot(face, level).bytes;
        return D3D_OK;
    }
    if (!texture_ || !device()->makeCurrent()) return D3DERR_INVALIDCALL;
    bytes.assign(size_t(levelPitch(level)) * rowCount(*info_, height(level)), 0);
    GLenum bindTarget = cube_ ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D;
    glBindTexture(bindTarget, texture_);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    if (info_->compressed)
        glGetCompressedTexImage(glTarget(face), GLint(level), bytes.data());
    else
        glGetTexImage(glTarget(face), GLint(level), info_->glFormat, info_->glType, bytes.data());
    glBindTexture(bindTarget, 0);
    return D3D_OK;
}

GLenum TextureCore::glTarget(D3DCUBEMAP_FACES face) const {
    return cube_ ? GLenum(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face) : GLenum(GL_TEXTURE_2D);
}

bool TextureCore::createGlTexture() {
    if (!device()->makeCurrent()) return false;
    gl::takeError();
    GLenum bindTarget = cube_ ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D;
    glGenTextures(1, &texture_);
    glBindTexture(bindTarget, texture_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    for (UINT face = 0; face < faces(); ++face)
        for (UINT i = 0; i < levelCount_; ++i) {
            GLenum target = glTarget(D3DCUBEMAP_FACES(face));
            if (info_->compressed) {
                // Compressed levels need their bytes; zeros decode to black.
                std::vector<uint8_t> zeros(size_t(levelPitch(i)) * rowCount(*info_, height(i)));
                glCompressedTexImage2D(target, GLint(i), info_->internalFormat, GLsizei(width(i)),
                                       GLsizei(height(i)), 0, GLsizei(zeros.size()), zeros.data());
            } else {
                glTexImage2D(target, GLint(i), GLint(info_->internalFormat), GLsizei(width(i)),
                             GLsizei(height(i)), 0, info_->glFormat, info_->glType, nullptr);
            }
        }
    glTexParameteri(bindTarget, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(bindTarget, GL_TEXTURE_MAX_LEVEL, GLint(levelCount_ - 1));
    const GLint swizzle[4] = {GLint(info_->swizzle[0]), GLint(info_->swizzle[1]),
                              GLint(info_->swizzle[2]), GLint(info_->swizzle[3])};
    glTexParameteriv(bindTarget, GL_TEXTURE_SWIZZLE_RGBA, swizzle);
    glBindTexture(bindTarget, 0);
    if (gl::takeError() != GL_NO_ERROR) {
        glDeleteTextures(1, &texture_);
        texture_ = 0;
        logLine("the driver refused a texture of " + std::to_string(width_) + " x " +
                std::to_string(height_));
        return false;
    }
    for (Level& level : levels_) level.dirty = cpuCopy_;
    return true;
}

void TextureCore::upload(D3DCUBEMAP_FACES face, UINT level) {
    Level& source = slot(face, level);
    GLenum target = glTarget(face);
    if (info_->compressed) {
        glCompressedTexSubImage2D(target, GLint(level), 0, 0, GLsizei(width(level)),
                                  GLsizei(height(level)), info_->internalFormat,
                                  GLsizei(source.bytes.size()), source.bytes.data());
    } else {
        glTexSubImage2D(target, GLint(level), 0, 0, GLsizei(width(level)), GLsizei(height(level)),
                        info_->glFormat, info_->glType, source.bytes.data());
    }
    source.dirty = false;
}

GLuint TextureCore::prepareForDrawing() {
    if (!onGpu_) {
        logOnce("drawsysmem", "a system-memory texture cannot be drawn with");
        return 0;
    }
    if (!texture_ && !createGlTexture()) return 0;
    if (cpuCopy_) {
        GLenum bindTarget = cube_ ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D;
        bool bound = false;
        for (UINT face = 0; face < faces(); ++face)
            for (UINT i = 0; i < levelCount_; ++i) {
                Level& level = slot(D3DCUBEMAP_FACES(face), i);
                if (!level.dirty || level.locked) continue;
                if (!bound) {
                    glBindTexture(bindTarget, texture_);
                    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
                    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
                    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
                    bound = true;
                }
                upload(D3DCUBEMAP_FACES(face), i);
            }
        if (bound) glBindTexture(bindTarget, 0);
    }
    return texture_;
}

GlAttachment TextureCore::attachment(D3DCUBEMAP_FACES face, UINT level) {
    GlAttachment result;
    result.texture = prepareForDrawing();
    result.target = glTarget(face);
    result.level = GLint(level);
    return result;
}

} // namespace d3d9
