// SPDX-License-Identifier: MIT
#include "render/Editor/Editor.h"

#include <algorithm>
#include <cmath>

#include "core/TableSqrt.h"
#include "core/UserInput.h"
#include "render/Camera.h"
#include "render/D3D/Device.h"

namespace {

constexpr float kOrbitSpeed = 0.2f; // degrees per unit of mouse motion
constexpr float kWheelStep = 0.3f;

bool held(int virtualKey) {
    return GetKeyState(virtualKey) < 0;
}

} // namespace

Editor::Editor(D3D::Device::SwapChain* swapChain, Interface* owner, float gridSize)
    : swapChain(swapChain), owner(owner), axis(gridSize) {
    // The dialog starts input before it makes the view; a second init would
    // leak the first set of devices.
    if (!userInput.directInput) userInput.init(nullptr, viewWindow());
    D3D::LightBlock& light = swapChain->light;
    light.diffuse = D3DCOLORVALUE{0.75f, 0.75f, 0.75f, 0.0f};
    light.ambient = D3DCOLORVALUE{0.2f, 0.2f, 0.2f, 0.0f};
    light.specular = D3DCOLORVALUE{0.7f, 0.7f, 0.7f, 0.0f};
}

HWND Editor::viewWindow() const {
    return swapChain->presentParameters.hDeviceWindow;
}

float Editor::scale() const {
    return std::pow(zoom, 2.0f);
}

void Editor::drawAxis() {
    axis.draw(D3D::currentSwapChain ? D3D::currentSwapChain->fog.enabled : 0);
}

void Editor::appendFrameState(std::string& state) {
    const auto append = [&state](const auto& value) {
        state.append(reinterpret_cast<const char*>(&value), sizeof value);
    };
    append(swapChain->view);
    append(swapChain->projection);
    append(swapChain->light.direction);
    append(swapChain->light.diffuse);
    append(swapChain->light.ambient);
    append(swapChain->light.specular);
    append(swapChain->fog.enabled);
    append(swapChain->presentParameters.BackBufferWidth);
    append(swapChain->presentParameters.BackBufferHeight);
    append(enabled);
    append(gizmoMask);
    append(mode);
    // The arrows: drawn around their target's pivot, sized by the scale.
    append(scale());
    append(justification.target != nullptr);
    append(justification.selectedAxis);
    append(justification.cones().vertexCount());
    vec3d pivot;
    if (justification.target) justification.target->getPivot(pivot);
    append(pivot.x);
    append(pivot.y);
    append(pivot.z);
}

void Editor::update() {
    ctrlHeld = held(VK_CONTROL);
    const bool leftHeld = held(VK_LBUTTON);
    HWND view = viewWindow();
    RECT client{};
    GetClientRect(view, &client);
    POINT cursor{};
    GetCursorPos(&cursor);
    computeRay(client, cursor);

    // The view on top under the cursor is also the cursor inside the view.
    if (ray.overView) {
        if (GetFocus() != view) SetFocus(view);
        zoom = zoom - kWheelStep * float(int(userInput.wheelUp) - int(userInput.wheelDown));
        zoom = std::clamp(zoom, zoomMinimum, zoomMaximum);
    }
    const float s = scale();

    if (!viewDragging && !dragging[0] && !dragging[1] && !dragging[2] && enabled) hoverTests();

    if (enabled && (hovered[0] || hovered[1] || hovered[2])) {
        if (dragging[0]) {
            justification.drag(*swapChain, s, userInput.mouseMoveX, userInput.mouseMoveY);
            if (owner) owner->targetChanged();
        }
        if (dragging[1]) {
            third.drag();
            if (owner) owner->targetChanged();
        }
        if (dragging[2]) {
            rotation.drag(s, ray);
            if (owner) owner->targetChanged();
        }
    }

    if (ctrlHeld != ctrlSeen) {
        ctrlSeen = ctrlHeld;
        if (ctrlHeld) {
            savedTarget = justification.target;
            justification.target = &viewTarget;
        } else {
            justification.target = savedTarget;
        }
    }

    if (mode & kTranslation) justification.updateGeometry(s);
    if (mode & kRotation) rotation.updateGeometry(s);
    orbit();

    if ((dragging[0] || dragging[1] || dragging[2]) && !leftHeld) endDrag();
}

void Editor::computeRay(const RECT& client, POINT cursor) {
    HWND view = viewWindow();
    POINT local = cursor;
    ScreenToClient(view, &local);
    ray.cursorX = float(local.x);
    ray.cursorY = float(local.y);
    ray.overView = WindowFromPoint(cursor) == view;
    const D3DMATRIX& p = swapChain->projection;
    const float w = float(std::max<LONG>(client.right, 1));
    const float h = float(std::max<LONG>(client.bottom, 1));
    const float cx = (2.0f * ray.cursorX / w - 1.0f) / p.m[0][0];
    const float cy = -(2.0f * ray.cursorY / h - 1.0f) / p.m[1][1];
    const float cz = 1.0f;

    // Camera space to world space: the inverse of the view's rotation.
    const auto& v = swapChain->view.m;
    const float det = v[0][0] * (v[1][1] * v[2][2] - v[1][2] * v[2][1]) -
                      v[0][1] * (v[1][0] * v[2][2] - v[1][2] * v[2][0]) +
                      v[0][2] * (v[1][0] * v[2][1] - v[1][1] * v[2][0]);
    vec3d d{cx, cy, cz};
    if (det != 0.0f) {
        float inverse[3][3];
        inverse[0][0] = (v[1][1] * v[2][2] - v[1][2] * v[2][1]) / det;
        inverse[0][1] = (v[0][2] * v[2][1] - v[0][1] * v[2][2]) / det;
        inverse[0][2] = (v[0][1] * v[1][2] - v[0][2] * v[1][1]) / det;
        inverse[1][0] = (v[1][2] * v[2][0] - v[1][0] * v[2][2]) / det;
        inverse[1][1] = (v[0][0] * v[2][2] - v[0][2] * v[2][0]) / det;
        inverse[1][2] = (v[0][2] * v[1][0] - v[0][0] * v[1][2]) / det;
        inverse[2][0] = (v[1][0] * v[2][1] - v[1][1] * v[2][0]) / det;
        inverse[2][1] = (v[0][1] * v[2][0] - v[0][0] * v[2][1]) / det;
        inverse[2][2] = (v[0][0] * v[1][1] - v[0][1] * v[1][0]) / det;
        // Row vectors, as Direct3D multiplies them.
        d = vec3d{cx * inverse[0][0] + cy * inverse[1][0] + cz * inverse[2][0],
                  cx * inverse[0][1] + cy * inverse[1][1] + cz * inverse[2][1],
                  cx * inverse[0][2] + cy * inverse[1][2] + cz * inverse[2][2]};
    }
    const float length = tableSqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    if (length > 0.0f) d = vec3d{d.x / length, d.y / length, d.z / length};
    ray.direction = d;
    ray.origin = vec3d{swapChain->position.x, swapChain->position.y, swapChain->position.z};
}

void Editor::hoverTests() {
    const float s = scale();
    hovered[1] = (mode & kThird) ? third.hover(ray) : false;
    if (mode & kTranslation) {
        if (hovered[1]) {
            hovered[0] = false;
            justification.selectedAxis = 0;
        } else {
            hovered[0] = justification.hover(ray, s);
        }
    } else {
        hovered[0] = false;
    }
    hovered[2] = (mode & kRotation) ? rotation.hover(ray) : false;
}

void Editor::orbit() {
    if (viewDragging) {
        yaw = yaw - kOrbitSpeed * userInput.mouseMoveX;
        pitch = std::clamp(pitch + kOrbitSpeed * userInput.mouseMoveY, -kPitchLimit, kPitchLimit);
    }
    const float y = yaw * D3D::kRadians;
    const float p = pitch * D3D::kRadians;
    const float d = scale();
    D3DVECTOR& position = swapChain->position;
    position.x = viewTarget.x + d * (std::cos(p) * std::sin(y));
    position.y = viewTarget.y + d * -std::sin(p);
    position.z = viewTarget.z + d * (std::cos(p) * std::cos(y));

    D3DVECTOR direction{viewTarget.x - position.x, viewTarget.y - position.y,
                        viewTarget.z - position.z};
    const float length = tableSqrt(direction.x * direction.x + direction.y * direction.y +
                                   direction.z * direction.z);
    if (length != 0.0f)
        direction = D3DVECTOR{direction.x / length, direction.y / length, direction.z / length};
    D3D::setOrientation(*swapChain, direction, D3DVECTOR{0.0f, 1.0f, 0.0f});
    D3D::calc(*swapChain);
    D3D::applyView(*swapChain);

    swapChain->light.direction = D3DVECTOR{-direction.x, -direction.y, -direction.z};
    swapChain->setLight();
}

void Editor::onMessage(UINT message) {
    switch (message) {
    case WM_LBUTTONDOWN:
        if (viewDragging || !enabled) break;
        if ((gizmoMask & mode & kTranslation) && hovered[0] && !dragging[0])
            dragging[0] = captureCursor();
        if ((gizmoMask & mode & kThird) && hovered[1] && !dragging[1])
            dragging[1] = captureCursor();
        if ((gizmoMask & mode & kRotation) && hovered[2] && !dragging[2]) {
            rotation.startDrag(ray);
            dragging[2] = rotation.dragging;
        }
        break;
    case WM_LBUTTONUP:
        if (!endDrag() || !enabled) {
            if (owner) owner->clicked(ray);
        }
        break;
    case WM_RBUTTONDOWN:
        if (!viewDragging && !dragging[0] && !dragging[1]) viewDragging = captureCursor();
        break;
    case WM_RBUTTONUP:
        if (viewDragging) {
            viewDragging = false;
            releaseCursor();
        }
        break;
    default: break;
    }
}

bool Editor::captureCursor() {
    POINT cursor{};
    GetCursorPos(&cursor);
    RECT window{};
    GetWindowRect(viewWindow(), &window);
    if (cursor.x < window.left || cursor.x > window.right || cursor.y < window.top ||
        cursor.y > window.bottom)
        return false;
    ShowCursor(FALSE);
    GetClipCursor(&savedClip);
    // Pinned to where it is, so that only relative motion arrives.
    const RECT pin{cursor.x, cursor.y, cursor.x + 1, cursor.y + 1};
    ClipCursor(&pin);
    return true;
}

void Editor::releaseCursor() {
    ShowCursor(TRUE);
    ClipCursor(&savedClip);
}

bool Editor::endDrag() {
    if (dragging[0]) {
        dragging[0] = false;
        releaseCursor();
        if (owner) owner->dragEnded();
        return true;
    }
    if (dragging[1]) {
        dragging[1] = false;
        releaseCursor();
        return true;
    }
    if (dragging[2]) {
        dragging[2] = false;
        rotation.dragging = false;
        if (owner) owner->dragEnded();
        return true;
    }
    return false;
}
