// SPDX-License-Identifier: MIT
// The record behind a script's entity-movement value. The scene that moves
// entities is not part of this program, so the record only keeps what the
// member methods hand it, already converted, for whoever drives an entity.
#pragma once

#include <cstdint>

#include "d3d9/D3D9.h"
#include "render/D3D/Device.h"

struct EntityMovement {
    // "set": the entity's place, its orientation and six movement figures.
    D3DVECTOR position{0.0f, 0.0f, 0.0f};
    float orientation[16] = {1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f,
                             0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};
    float walkSpeed = 0.0f;
    float turnSpeed = 0.0f;
    float gravity = 0.0f;
    float jumpSpeed = 0.0f;
    float eyeHeight = 0.0f; // added to y where a camera is attached
    float radius = 0.0f;
    int32_t setCount = 0;

    // "setPan".
    float pan = 0.0f;

    // "attachCamera": the camera that follows the entity; not owned.
    D3D::Device::SwapChain* camera = nullptr;

    // "calcFirstPerson": the camera looked through, and one step's input.
    D3D::Device::SwapChain* firstPersonCamera = nullptr; // not owned
    bool onGround = false;
    float forward = 0.0f;
    float strafe = 0.0f;
    float turn = 0.0f;
    float jump = 0.0f;
    int32_t firstPersonCount = 0;
};
