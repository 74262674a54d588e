// SPDX-License-Identifier: MIT
// The application object: the dialog, what the user chose and what was made
// from it. One exists for the whole run; the entry function creates it on
// first use.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/Template.h"
#include "core/DialogTools.h"
#include "core/FileArray.h"
#include "core/String.h"
#include "render/D3D/Device.h"
#include "render/D3D/SwapChain.h"
#include "render/Editor/Editor.h"
#include "render/Mesh.h"

class Embossa : public Template,
                public Editor::Interface,
                public D3D::Device::SwapChain::Interface {
public:
    // Control ids of dialog 101
    static constexpr int kDialogId = 101;
    static constexpr int kPathField = 1001;
    static constexpr int kOpenButton = 1002;
    static constexpr int kPreview = 1004;
    static constexpr int kView = 1005;
    static constexpr int kSaveButton = 1006;
    static constexpr int kAxisXZ = 1007;
    static constexpr int kAxisXY = 1008;
    static constexpr int kAxisYZ = 1009;
    static constexpr int kFlipX = 1010;
    static constexpr int kFlipY = 1011;
    static constexpr UINT_PTR kFrameTimer = 1;
    static constexpr UINT kFramePeriodMs = 10;

    String imagePath;
    FileArray imageFile;
    DialogTools::Bitmap preview;
    // The relief's vertex: position and normal (vertex format 0x12, 24 bytes).
    struct Vertex {
        float position[3];
        float normal[3];
    };
    // The relief built from preview (app/HeightField.cpp).
    Mesh<Vertex, D3DFVF_XYZ | D3DFVF_NORMAL> mesh;
    int32_t axisMode = 0;  // 0: x / y, 1: x / z, 2: y / z
    int32_t flipFlags = 0; // 1 mirrors the image's x axis, 2 its y axis

    // The swap chain on control 1005 and its view; both null when Direct3D
    // did not start. The dialog then works without drawing the relief.
    D3D::Device::SwapChain* swapChain = nullptr;
    std::unique_ptr<Editor> view;

    // An image to open as if chosen with "Open..." once the dialog is up.
    String pendingImage;

    // Frames of the 3D view drawn and presented so far. A tick draws one only
    // when the picture can have changed since the last; the window layer's
    // paints (expose, resize, restore) always draw.
    uint64_t framesDrawn = 0;

    ~Embossa() override = default;
    INT_PTR messageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    String status() override { return String(); }
    // The device's buffers were made again: the next tick draws.
    void afterCreateBuffers() override { shownFrame_.clear(); }
    void deviceRestored() override { shownFrame_.clear(); }

    // The image's bytes into the preview; false when they did not decode
    // and the texture manager's placeholder is shown instead.
    bool loadHeightmap();
    // Empties mesh and builds the relief of preview for the current axis
    // choice and mirror flags, with flat face normals.
    void rebuildMesh();
    // Where "Save" writes for an image: the image's folder (up to the last
    // '/', or the last backslash when there is no '/') followed by "\test.obj",
    // joined with a backslash whatever the folder used.
    static String savePath(const String& imagePath);
    // "Save": the relief to savePath(imagePath); a failure is shown in a
    // box naming the file and the reason.
    void save();
    // Reads the image whole and shows it; the path is already in imagePath.
    // An image that cannot be read or decoded leaves the placeholder shown
    // and a box naming the file and the reason.
    void openImage();
    // Reads imagePath's bytes whole into imageFile; false when it cannot be
    // opened or read, with the one-line reason in `why` (and the log).
    bool readImageFile(std::string* why = nullptr);
    // Lets go of the view and the input devices; the dialog has ended and the
    // device is about to go.
    void releaseView();

private:
    void initDialog();
    void initDirect3D(HWND viewControl);
    void onCommand(int command);
    void onTimer();
    void paint();
    void onDoubleClick();
    void centreOnScreen();
    void readAxisMode();
    void readFlipFlags();
    // The bytes the view's next frame would be drawn from (Editor's state
    // and the relief's); empty without a view.
    void frameState(std::string& state);
    // Whether this tick must draw: the picture can differ from the one shown,
    // or the view's window is minimised or hidden (presenting is what finds
    // the device lost then, and waits for it back).
    bool frameWanted();

    // What the frame on screen was drawn from; empty when none is known.
    std::string shownFrame_;
    std::string nextFrame_; // scratch, kept to reuse its allocation
    uint64_t meshRevision_ = 0;

    // loadHeightmap's decode: imageFile straight into preview; false, with
    // the preview untouched, when there is nothing to draw.
    bool drawPreviewFromFile();
};
