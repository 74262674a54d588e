// SPDX-License-Identifier: MIT
// The interactive 3D view of one swap chain: an orbit camera around a target
// point (right-drag turns it, the wheel zooms while the cursor is over the
// view), the ground grid with the axes, and the gizmos that drag targets.
// Holding Ctrl puts the translation arrows on the orbit target itself, so
// dragging an arrow moves the camera's centre. Its owner polls input, calls
// update once per tick, passes every window message to onMessage, and draws
// the grid and the shown gizmos while painting.
#pragma once

#include <cstdint>
#include <string>

#include "d3d9/D3D9.h"
#include "render/D3D/SwapChain.h"
#include "render/Editor/Axis.h"
#include "render/Editor/Interface.h"
#include "render/Editor/Justification.h"
#include "win/Win.h"

class Editor {
public:
    using Interface = EditorInterface;
    using Ray = EditorRay;
    using Axis = EditorAxis;
    using Justification = EditorJustification;
    using Rotation = EditorRotation;

    // Gizmo bits of mask and mode.
    static constexpr uint32_t kTranslation = 1;
    static constexpr uint32_t kThird = 2;
    static constexpr uint32_t kRotation = 4;
    static constexpr float kPitchLimit = 89.9f;

    // The orbit camera's centre; the arrows move it while Ctrl is held.
    struct ViewTarget : vec3d, EditorJustificationInterface {
        void getPosition(vec3d& position) override { position = *this; }
        void setPosition(const vec3d& position) override { static_cast<vec3d&>(*this) = position; }
    };

    uint32_t gizmoMask = 7;
    uint32_t mode = 3;
    D3D::Device::SwapChain* swapChain; // not owned
    Interface* owner;                  // not owned
    int32_t enabled = 1;
    Ray ray;
    Axis axis;
    Justification justification;
    EditorThirdGizmo third;
    Rotation rotation;
    RECT savedClip{};
    bool ctrlHeld = false;
    bool hovered[3] = {};  // translation, third, rotation
    bool dragging[3] = {}; // the same order
    bool viewDragging = false;
    bool ctrlSeen = false;
    float yaw = 135.0f; // degrees
    float pitch = -25.0f;
    float zoom = 3.0f;
    float zoomMinimum = 1.0f;
    float zoomMaximum = 50.0f;
    ViewTarget viewTarget;
    EditorJustificationInterface* savedTarget = nullptr;

    Editor(D3D::Device::SwapChain* swapChain, Interface* owner, float gridSize);
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    void update();
    void onMessage(UINT message);
    void drawAxis();

    // Appends the bytes of everything a frame of the view is drawn from
    // besides the scene's own meshes: camera, light, fog, back buffer size,
    // the shown gizmos and their state. Frames drawn from equal bytes are
    // the same picture, so an owner can skip drawing one again.
    void appendFrameState(std::string& state);

    // The window the swap chain presents into.
    HWND viewWindow() const;
    float scale() const;

private:
    void computeRay(const RECT& client, POINT cursor);
    void hoverTests();
    void orbit();
    bool captureCursor();
    void releaseCursor();
    bool endDrag();
};
