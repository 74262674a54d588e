// SPDX-License-Identifier: MIT
// What the 3D editor view shares with the code around it: the pick ray, the
// owner's callbacks and the interface a movable target offers the gizmos.
// The owner decides what a drag or a click means; the view only reports.
#pragma once

#include "core/String.h"

struct vec3d {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

// The cursor's ray in world space, from the camera through the cursor.
struct EditorRay {
    vec3d origin;
    vec3d direction;
    float cursorX = 0.0f; // client pixels of the view
    float cursorY = 0.0f;
    bool overView = false; // the window under the cursor is the view itself
};

class EditorInterface {
public:
    virtual ~EditorInterface() = default;
    virtual void targetChanged() {} // on every update of an active drag
    virtual void dragEnded() {}
    virtual void clicked(const EditorRay& ray) { (void)ray; } // a left click without a drag
    virtual String status() { return String(); }
};

// Something the translation arrows can move.
class EditorJustificationInterface {
public:
    virtual ~EditorJustificationInterface() = default;
    virtual void getPosition(vec3d& position) = 0;
    virtual void setPosition(const vec3d& position) = 0;
    // Where the arrows stand; the position unless the target says otherwise.
    virtual void getPivot(vec3d& pivot) { getPosition(pivot); }
};
