// SPDX-License-Identifier: MIT
// Texture projectors belong to the scene modules, which this tool does not
// carry. What is here is the part of them the device reaches: the list they
// register with and the release and restore operations it calls around a
// device reset, in the order restoreDevice calls them.
#pragma once

#include <cstdint>

class TextureProj {
public:
    // Where projectors register; the device's list implements it.
    class Interface {
    public:
        virtual void add(TextureProj* projector) = 0;
        virtual void remove(TextureProj* projector) = 0;

    protected:
        ~Interface() = default;
    };

    virtual ~TextureProj() = default;

    // Release phase: the shadow and second render targets (each only when
    // the projector has one), then its two further device objects.
    virtual int32_t hasShadowTarget() = 0;
    virtual void releaseShadowTarget() = 0;
    virtual int32_t hasSecondTarget() = 0;
    virtual void releaseSecondTarget() = 0;
    virtual void releaseDeviceObjects() = 0;

    // Restore phase: its two restore operations early on, its render targets
    // once the swap chains are attached again.
    virtual void restoreDeviceObjects() = 0;
    virtual void restoreState() = 0;
    virtual void createTargets() = 0;
};
