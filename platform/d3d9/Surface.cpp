// SPDX-License-Identifier: MIT
// Surfaces: texture levels that defer to their texture, and render targets
// and depth-stencil surfaces of their own on OpenGL or in CPU memory.
#include "d3d9/Surface.h"

#include "d3d9/Device.h"
#include "d3d9/Format.h"
#include "d3d9/GlContext.h"
#include "d3d9/Log.h"
#include "d3d9/Texture.h"

namespace d3d9 {
namespace {

// Samples a multisample type asks for, or 0 when the type is not offered.
int sampleCount(D3DMULTISAMPLE_TYPE type, DWORD quality) {
    if (type == D3DMULTISAMPLE_NONE) return quality == 0 ? 1 : 0;
    if (type == D3DMULTISAMPLE_NONMASKABLE) return quality == 0 ? 2 : quality == 1 ? 4 : 0;
    if ((type == D3DMULTISAMPLE_2_SAMPLES || type == D3DMULTISAMPLE_4_SAMPLES) && quality == 0)
        return int(type);
    return 0;
}

} // namespace

Surface::Surface(TextureCore* container, D3DCUBEMAP_FACES face, UINT level,
                 const D3DSURFACE_DESC& desc)
    : ResourceCore(container->device(), desc.Pool, false), desc_(desc),
      info_(formatInfo(desc.Format)), container_(container), face_(face), level_(level) {}

Surface::Surface(Device* device, const D3DSURFACE_DESC& desc, bool lockable)
    : ResourceCore(device, desc.Pool), desc_(desc), info_(formatInfo(desc.Format)),
      lockable_(lockable) {}

Surface::~Surface() {
    if ((texture_ || renderbuffer_) && device()->makeCurrent()) {
        if (texture_) glDeleteTextures(1, &texture_);
        if (renderbuffer_) glDeleteRenderbuffers(1, &renderbuffer_);
    }
}

HRESULT Surface::createTarget(Device* device, UINT width, UINT height, D3DFORMAT format,
                              D3DMULTISAMPLE_TYPE multiSample, DWORD quality, bool lockable,
                              Surface** surface) {
    *surface = nullptr;
    const FormatInfo* info = formatInfo(format);
    if (!info || (!info->depth && !info->renderTarget)) return D3DERR_INVALIDCALL;
    const D3DCAPS9& caps = device->caps();
    if (width == 0 || height == 0 || width > caps.MaxTextureWidth || height > caps.MaxTextureHeight)
        return D3DERR_INVALIDCALL;
    int samples = sampleCount(multiSample, quality);
    if (samples == 0 || (samples > 1 && (device->cpuOnly() || samples > gl::limits().maxSamples)))
        return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC desc;
    desc.Format = format;
    desc.Type = D3DRTYPE_SURFACE;
    desc.Usage = info->depth ? D3DUSAGE_DEPTHSTENCIL : D3DUSAGE_RENDERTARGET;
    desc.Pool = D3DPOOL_DEFAULT;
    desc.MultiSampleType = multiSample;
    desc.MultiSampleQuality = quality;
    desc.Width = width;
    desc.Height = height;
    auto* created = new Surface(device, desc, lockable && !info->depth);
    if (HRESULT hr = created->allocate(quality); FAILED(hr)) {
        delete static_cast<Counted*>(created);
        return hr;
    }
    *surface = created;
    return D3D_OK;
}

HRESULT Surface::allocate(DWORD quality) {
    if (device()->cpuOnly()) {
        if (!info_->depth) bytes_.assign(size_t(desc_.Width) * desc_.Height * info_->bytes, 0);
        return D3D_OK;
    }
    if (!device()->makeCurrent()) return D3DERR_NOTAVAILABLE;
    gl::takeError();
    int samples = sampleCount(desc_.MultiSampleType, quality);
    if (info_->depth || samples > 1) {
        glGenRenderbuffers(1, &renderbuffer_);
        glBindRenderbuffer(GL_RENDERBUFFER, renderbuffer_);
        if (samples > 1)
            glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, info_->internalFormat,
                                             GLsizei(desc_.Width), GLsizei(desc_.Height));
        else
            glRenderbufferStorage(GL_RENDERBUFFER, info_->internalFormat, GLsizei(desc_.Width),
                                  GLsizei(desc_.Height));
        glBindRenderbuffer(GL_RENDERBUFFER, 0);
    } else {
        glGenTextures(1, &texture_);
        glBindTexture(GL_TEXTURE_2D, texture_);
        glTexImage2D(GL_TEXTURE_2D, 0, GLint(info_->internalFormat), GLsizei(desc_.Width),
                     GLsizei(desc_.Height), 0, info_->glFormat, info_->glType, nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        const GLint swizzle[4] = {GLint(info_->swizzle[0]), GLint(info_->swizzle[1]),
                                  GLint(info_->swizzle[2]), GLint(info_->swizzle[3])};
        glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, swizzle);
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    if (gl::takeError() != GL_NO_ERROR) {
        logLine("the driver refused a surface of " + std::to_string(desc_.Width) + " x " +
                std::to_string(desc_.Height));
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    return D3D_OK;
}

uint32_t Surface::AddRef() {
    return container_ ? container_->containerAddRef() : addPublic();
}

uint32_t Surface::Release() {
    return container_ ? container_->containerRelease() : releasePublic();
}

void Surface::grab() {
    if (container_)
        container_->grab();
    else
        Counted::grab();
}

void Surface::drop() {
    if (container_)
        container_->drop();
    else
        Counted::drop();
}

bool Surface::blocksReset() const {
    return !container_ && ResourceCore::blocksReset();
}

bool Surface::isDepth() const {
    return info_ && info_->depth;
}

HRESULT Surface::GetDesc(D3DSURFACE_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    *desc = desc_;
    return D3D_OK;
}

GlAttachment Surface::attachment() {
    if (container_) return container_->attachment(face_, level_);
    GlAttachment result;
    result.texture = texture_;
    result.renderbuffer = renderbuffer_;
    return result;
}

HRESULT Surface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    if (container_) return container_->lock(face_, level_, locked, rect, flags);
    if (!locked) return D3DERR_INVALIDCALL;
    locked->pBits = nullptr;
    locked->Pitch = 0;
    if (locked_ || !lockable_) return D3DERR_INVALIDCALL;
    if (rect && (rect->left < 0 || rect->top < 0 || rect->left >= rect->right ||
                 rect->top >= rect->bottom || UINT(rect->right) > desc_.Width ||
                 UINT(rect->bottom) > desc_.Height))
        return D3DERR_INVALIDCALL;
    uint32_t pitch = desc_.Width * info_->bytes;
    if (!device()->cpuOnly()) {
        // What was drawn lives on the GPU; targets hold rows top-down, so
        // the read-back rows are already in Direct3D's order.
        if (!device()->makeCurrent()) return D3DERR_DEVICELOST;
        bytes_.resize(size_t(pitch) * desc_.Height);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, device()->scratchFramebuffer());
        glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture_,
                               0);
        glReadBuffer(GL_COLOR_ATTACHMENT0);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        glReadPixels(0, 0, GLsizei(desc_.Width), GLsizei(desc_.Height), info_->glFormat,
                     info_->glType, bytes_.data());
        glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    }
    size_t offset = rect ? size_t(rect->top) * pitch + size_t(rect->left) * info_->bytes : 0;
    locked_ = true;
    lockReadOnly_ = (flags & D3DLOCK_READONLY) != 0;
    locked->Pitch = int32_t(pitch);
    locked->pBits = bytes_.data() + offset;
    return D3D_OK;
}

HRESULT Surface::UnlockRect() {
    if (container_) return container_->unlock(face_, level_);
    if (!locked_) return D3DERR_INVALIDCALL;
    locked_ = false;
    if (!lockReadOnly_ && !device()->cpuOnly() && device()->makeCurrent()) {
        glBindTexture(GL_TEXTURE_2D, texture_);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, GLsizei(desc_.Width), GLsizei(desc_.Height),
                        info_->glFormat, info_->glType, bytes_.data());
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    return D3D_OK;
}

} // namespace d3d9
