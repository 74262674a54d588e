// SPDX-License-Identifier: MIT
#include "app/Embossa.h"

#include "app/OpenFileDialog.h"
#include "core/FrameTimer.h"
#include "core/Report.h"
#include "render/D3D/D3D.h"
#include "render/StructTexture.h"
#include "render/WinShell/Window.h"
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
        if (wParam == kFrameTimer) {
            frameTimer.update();
            SendMessageW(window, WM_PAINT, 0, 0);
        }
        break;
    case WM_QUIT: close(0); break;
    default: break;
    }
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
    WinShell::Window view(viewControl, 0, 0);
    if (!D3D::device.init(view, this, 54270, 1)) {
        D3D::release();
        return;
    }
    swapChain = D3D::device.firstSwapChain();
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
    case kSaveButton: mesh.tools().save(savePath(imagePath)); break;
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

void Embossa::openImage() {
    SetWindowTextW(GetDlgItem(window, kPathField), imagePath.text());
    FileInterface* file = FileInterface::open(imagePath, 0, 1, 1);
    imageFile.load(*file);
    file->close();
    loadHeightmap();
    rebuildMesh();
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

void Embossa::loadHeightmap() {
    // An image that does not decode leaves the texture manager's default
    // texture in the handle, so the preview shows its checkerboard.
    StructTexture heightmap;
    heightmap.loadD3DXFromFile(String::borrow(u"Heightmap"), imageFile, 1, D3DFMT_A8R8G8B8);
    heightmap.copyToBitmap(preview);
    SendMessageW(GetDlgItem(window, kPreview), STM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(preview.bitmap));
}
