// SPDX-License-Identifier: MIT
// How the 3D editor view asks its owner about drags, clicks and the status
// line. The owner decides what a drag or a click means; the view only reports.
#pragma once

#include "core/String.h"

namespace Editor {

// A pick ray in world space, from the camera through the clicked pixel.
struct Ray {
    float origin[3] = {};
    float direction[3] = {};
};

class Interface {
public:
    virtual ~Interface() = default;
    virtual void targetChanged() {}         // every update of an active drag
    virtual void dragEnded() {}
    virtual void clicked(const Ray& ray) { (void)ray; } // a left click without a drag
    virtual String status() { return String(); }
};

} // namespace Editor
