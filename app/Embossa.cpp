// SPDX-License-Identifier: MIT
#include "app/Embossa.h"

#include "app/CpuDevice.h"
#include "app/HeightField.h"
#include "app/ImageInput.h"
#include "app/MeshFile.h"
#include "app/OpenFileDialog.h"
#include "app/PreviewDecode.h"
#include "core/File.h"
#include "core/FrameTimer.h"
#include "core/Log.h"
#include "core/Report.h"
#include "core/UserInput.h"
#include "render/D3D/D3D.h"
#include "render/D3D/StageStates.h"
#include "render/PreviewImage.h"
#include "render/StructTexture.h"
#include "render/WinShell/Window.h"
#include "sys/Unicode.h"
#include "win/Win.h"

namespace {

bool isChecked(HWND dialog, int id) {
    return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == LRESULT(BST_CHECKED);
}

void setCheck(HWND dialog, int id, bool on) {
    SendMessageW(GetDlgItem(dialog, id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

} // namespace

INT_PTR Embossa::messageProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: initDialog(); break;
    case WM_COMMAND: onCommand(LOWORD(wParam)); break;
    case WM_TIMER:
        if (wParam == kFrameTimer) onTimer();
        break;
    case WM_PAINT: paint(); break;
    case WM_LBUTTONDBLCLK: onDoubleClick(); break;
    case WM_QUIT: close(0); break;
    default: break;
    }
    // The view sees every message, handled or not: button presses and
    // releases start and end its drags.
    if (view) view->onMessage(message);
    // Always 0, so the dialog manager does its default processing as well.
    return 0;
}

void Embossa::initDialog() {
    centreOnScreen();
    initDirect3D(GetDlgItem(window, kView));
    preview.create(GetDlgItem(window, kPreview), 0, 32, 120, 120);
    loadHeightmap();
    setCheck(window, kAxisXZ, axisMode == 1);
    setCheck(window, kAxisXY, axisMode == 0);
    setCheck(window, kAxisYZ, axisMode == 2);
    setCheck(window, kFlipX, flipFlags & 1);
    setCheck(window, kFlipY, flipFlags & 2);
    SetTimer(window, kFrameTimer, kFramePeriodMs, nullptr);
    if (pendingImage.length > 0) {
        imagePath = pendingImage;
        pendingImage = String(u"");
        openImage();
    }
}

void Embossa::initDirect3D(HWND viewControl) {
    if (!D3D::init()) {
        showReport(viewControl, u"Error", u"ErrorDirect3D", MB_OK);
        return;
    }
    D3D::device.settings.vsync = 1;
    D3D::device.limits[0] = 2048;
    D3D::device.limits[1] = 64;
    D3D::chooseMultiSample(D3D::device.settings, D3D::queryMultiSample());
    // Wraps the control without owning it: the dialog destroys it.
    WinShell::Window control(viewControl, 0, 0);
    if (!D3D::device.init(control, this, 54270, 1)) {
        D3D::release();
        return;
    }
    swapChain = D3D::device.firstSwapChain();
    userInput.init(instanceHandle, viewControl);
    view = std::make_unique<Editor>(swapChain, this, 10.0f);
}

void Embossa::releaseView() {
    view.reset();
    swapChain = nullptr;
    userInput.release();
}

void Embossa::onTimer() {
    frameTimer.update();
    userInput.update();
    if (view) view->update();
    if (frameWanted()) SendMessageW(window, WM_PAINT, 0, 0);
}

void Embossa::frameState(std::string& state) {
    state.clear();
    if (!view) return;
    view->appendFrameState(state);
    const int32_t counts[2] = {mesh.vertexCount(), mesh.indexCount()};
    state.append(reinterpret_cast<const char*>(&meshRevision_), sizeof meshRevision_);
    state.append(reinterpret_cast<const char*>(counts), sizeof counts);
}

bool Embossa::frameWanted() {
    if (!D3D::currentDevice || !swapChain) return false;
    if (win::minimized(window) || !IsWindowVisible(window)) return true;
    frameState(nextFrame_);
    return shownFrame_.empty() || nextFrame_ != shownFrame_;
}

void Embossa::paint() {
    // Without a device there is nothing to draw into.
    IDirect3DDevice9* device = D3D::currentDevice;
    if (!device || !swapChain) return;
    frameState(nextFrame_);
    device->BeginScene();
    if (view) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00999999u, 1.0f, 0);
        view->drawAxis();
        if (view->enabled) {
            const uint32_t shown = view->gizmoMask & view->mode;
            const float scale = view->scale();
            if (shown & Editor::kTranslation) view->justification.draw(scale);
            if (shown & Editor::kThird) view->third.draw();
            if (shown & Editor::kRotation) view->rotation.draw(scale);
        }
    }
    D3D::setIdentityWorld(device);
    D3D::useVertexColour(device);

    const Vertex* vertices = mesh.packVertices();
    D3DMATERIAL9 material{};
    material.Diffuse = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 1.0f};
    material.Ambient = D3DCOLORVALUE{0.6f, 0.6f, 0.6f, 1.0f};
    material.Specular = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 1.0f};
    device->SetMaterial(&material);
    device->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL);
    device->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
    const int32_t triangles = mesh.indexCount() / 3;
    // An empty mesh (no image opened yet) draws nothing.
    if (vertices && triangles > 0)
        device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, UINT(mesh.vertexCount()),
                                       UINT(triangles), mesh.indices(), D3DFMT_INDEX16, vertices,
                                       sizeof(Vertex));
    device->SetRenderState(D3DRS_NORMALIZENORMALS, FALSE);
    D3D::useTexture(device);
    device->EndScene();
    const std::string drawnFrom = nextFrame_;
    ++framesDrawn;
    // A frame that did not reach the window (the device was lost) is drawn
    // again by the next tick.
    if (SUCCEEDED(swapChain->present()))
        shownFrame_ = drawnFrom;
    else
        shownFrame_.clear();
}

void Embossa::onDoubleClick() {
    if (!view || (!view->justification.target && !view->third.target)) return;
    // Switches between the arrows (with the third gizmo) and the rings.
    if ((view->gizmoMask & Editor::kRotation) && (view->mode & Editor::kTranslation) &&
        (view->mode & Editor::kThird))
        view->mode = Editor::kRotation;
    else if (view->mode & Editor::kRotation)
        view->mode = Editor::kTranslation | Editor::kThird;
}

void Embossa::centreOnScreen() {
    RECT rect;
    GetWindowRect(window, &rect);
    const int w = rect.right - rect.left;
    const int h = rect.bottom - rect.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) >> 1) - (w >> 1);
    const int y = (GetSystemMetrics(SM_CYSCREEN) >> 1) - (h >> 1);
    SetWindowPos(window, nullptr, x, y, w, h, SWP_NOOWNERZORDER);
}

void Embossa::onCommand(int command) {
    switch (command) {
    case IDCANCEL:
    case IDCLOSE: close(0); break;
    case kOpenButton:
        if (openFileDialog(window, 1, imagePath)) openImage();
        break;
    case kSaveButton: save(); break;
    case kAxisXZ:
    case kAxisXY:
    case kAxisYZ:
        readAxisMode();
        rebuildMesh();
        break;
    case kFlipX:
    case kFlipY:
        readFlipFlags();
        rebuildMesh();
        break;
    default: break;
    }
}

void Embossa::save() {
    std::string why;
    if (!mesh_file::save(mesh.tools(), savePath(imagePath), &why))
        showReport(window, u"Error", u"Save_Error", MB_OK | MB_ICONERROR,
                   String(sys::utf8ToUtf16(why)));
}

void Embossa::openImage() {
    SetWindowTextW(GetDlgItem(window, kPathField), imagePath.text());
    std::string why;
    const bool read = readImageFile(&why);
    const bool decoded = loadHeightmap();
    rebuildMesh();
    // Decoded a second time only to say why: the texture manager logs a code.
    if (read && !decoded) why = app::imageDecodeProblem(imagePath, imageFile);
    // Shown once the placeholder is in place, so the box explains what the
    // user sees behind it.
    if (!why.empty())
        showReport(window, u"Error", u"Image_Error", MB_OK | MB_ICONERROR,
                   String(sys::utf8ToUtf16(why)));
}

bool Embossa::readImageFile(std::string* why) {
    // A failed read empties imageFile, so no earlier image's bytes survive.
    std::string reason;
    const bool read = app::readImageInput(imagePath, imageFile, reason);
    if (!read) log(u"%s", sys::utf8ToUtf16(reason).c_str());
    if (why) *why = reason;
    return read;
}

void Embossa::readAxisMode() {
    // The last selected one wins; with none selected the mode stays.
    if (isChecked(window, kAxisXY)) axisMode = 0;
    if (isChecked(window, kAxisXZ)) axisMode = 1;
    if (isChecked(window, kAxisYZ)) axisMode = 2;
}

void Embossa::readFlipFlags() {
    flipFlags = 0;
    if (isChecked(window, kFlipX)) flipFlags |= 1;
    if (isChecked(window, kFlipY)) flipFlags |= 2;
}

bool Embossa::loadHeightmap() {
    // Without a 3D view the texture manager still decodes on the CPU.
    app::CpuDevice cpuDevice;
    if (!D3D::currentDevice) {
        std::string why;
        if (!cpuDevice.open(why))
            log(u"No device to decode the image with: %s", sys::utf8ToUtf16(why).c_str());
    }
    // The texture that loading the image would make is never drawn, so the
    // preview is drawn from the file directly. An image that does not decode
    // shows the texture manager's default texture, its checkerboard.
    const bool decoded = drawPreviewFromFile();
    if (!decoded) {
        StructTexture placeholder;
        placeholder.copyToBitmap(preview);
    }
    SendMessageW(GetDlgItem(window, kPreview), STM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(preview.bitmap));
    return decoded;
}

bool Embossa::drawPreviewFromFile() {
    setReportContext(u"Embossa", u"loadHeightmap");
    const int limit = app::currentTextureLimit();
    if (!limit) {
        log(u"There is no device to size the image for");
        return false;
    }
    if (!imageFile.memory() || imageFile.size() <= 0) {
        log(u"The file is not in memory or empty");
        return false;
    }
    const int32_t bytes = preview_image::bitmapBytes(preview);
    if (!bytes) {
        log(u"The bitmap has no pixels to draw into");
        return false;
    }
    surface1d<Color> colors(preview.width(), preview.height(),
                            bytes == 4 ? reinterpret_cast<Color*>(preview.buffer.items) : nullptr);
    d3dx::MemoryImageSource source(imageFile.memory(), size_t(imageFile.size()));
    std::string why;
    if (FAILED(preview_image::draw(source, limit, colors, why))) {
        log(u"The image does not decode: %s", sys::utf8ToUtf16(why).c_str());
        return false;
    }
    preview_image::store(colors, preview);
    preview.update();
    return true;
}

void Embossa::rebuildMesh() {
    ++meshRevision_;
    mesh.vertexTotal = 0;
    mesh.indexTotal = 0;
    mesh.textureHandle.release();
    // A mesh with bones would have its bone animation cleared here; the
    // relief never has one.
    addHeightField(mesh, preview, D3DVECTOR{10.0f, 1.0f, 10.0f}, axisMode, flipFlags);
    computeFaceNormals(mesh);
}

String Embossa::savePath(const String& imagePath) {
    const String folder = folderPart(imagePath.view());
    String path;
    path.format(u"%s%s", folder.text(), u"test.obj");
    return path;
}
