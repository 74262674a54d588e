// SPDX-License-Identifier: MIT
#include "app/Embossa.h"

#include "app/OpenFileDialog.h"
#include "core/FrameTimer.h"
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
    case kAxisXZ:
    case kAxisXY:
    case kAxisYZ: readAxisMode(); break;
    case kFlipX:
    case kFlipY: readFlipFlags(); break;
    default: break;
    }
}

void Embossa::openImage() {
    SetWindowTextW(GetDlgItem(window, kPathField), imagePath.text());
    FileInterface* file = FileInterface::open(imagePath, 0, 1, 1);
    imageFile.load(*file);
    file->close();
    loadHeightmap();
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
    // FIXME: decoding imageFile into the preview arrives with the texture
    // manager; until then the preview shows its cleared pixels.
    preview.update();
    SendMessageW(GetDlgItem(window, kPreview), STM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(preview.bitmap));
}
