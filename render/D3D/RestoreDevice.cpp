// SPDX-License-Identifier: MIT
// Device loss and restore. A swap chain's present starts this when
// presentation reports the device lost: default-pool resources are released
// (once, guarded by the lost flag), the thread waits for the device, resets
// it and rebuilds everything. A fatal result leaves the device lost, and the
// next present comes back here without releasing twice. The scene modules'
// shares of the work (projected lights, shared scene resources, the font
// cache) are not carried by this tool, so their steps are empty.
#include "render/D3D/Device.h"

#include "core/Log.h"
#include "core/Report.h"
#include "render/D3D/D3D.h"

namespace D3D {

namespace {

// SWP_SHOWWINDOW, which the window layer does not name yet.
constexpr UINT kShowWindow = 0x0040;

// Resizes a window so that its client area is width × height. The frame is
// measured from the window itself, which for a window without a menu is
// what AdjustWindowRectEx computes from its styles.
void fitClientArea(HWND window, UINT width, UINT height) {
    RECT outer, client;
    if (!GetWindowRect(window, &outer) || !GetClientRect(window, &client)) return;
    const LONG frameX = (outer.right - outer.left) - (client.right - client.left);
    const LONG frameY = (outer.bottom - outer.top) - (client.bottom - client.top);
    SetWindowPos(window, nullptr, 0, 0, LONG(width) + frameX, LONG(height) + frameY,
                 SWP_NOMOVE | kShowWindow);
}

void logGivingUp() {
    setReportContext(u"D3D", u"restoreDevice");
    log(u"The program is ending; the device stays lost");
}

} // namespace

void Device::restoreDevice() {
    if (restoring) return; // a frame painted while the restore below waits
    setReportContext(u"D3D", u"restoreDevice");
    if (!device) {
        log(u"D3DDevice is not available (NULL)");
        return;
    }
    restoring = true;
    struct EndRestoring {
        bool& flag;
        ~EndRestoring() { flag = false; }
    } endRestoring{restoring};
    SwapChain* first = firstSwapChain();
    if (!first) {
        log(u"There is no swap chain to restore");
        return;
    }
    const UINT oldWidth = first->presentParameters.BackBufferWidth;
    const UINT oldHeight = first->presentParameters.BackBufferHeight;

    if (!lost) {
        for (int32_t i = 0; i < texProjList.count; ++i) {
            TextureProj* projector = *texProjList.projectors.get(i);
            if (projector->hasShadowTarget()) projector->releaseShadowTarget();
            if (projector->hasSecondTarget()) projector->releaseSecondTarget();
        }
        for (auto* node = renderTextures.head; node; node = node->next)
            node->item->releaseDeviceObjects();
        device->LightEnable(0, 0);
        releaseStateBlocks();
        for (int32_t i = 0; i < texProjList.count; ++i)
            (*texProjList.projectors.get(i))->releaseDeviceObjects();
        for (auto* node = swapChains.head; node; node = node->next) node->item->releaseBuffers();
        log(u"The buffers are successfull released");
        log(u"The memory is successfull released");
        log(u"Old Resolution:");
        log(u"  dwScreenWidth:  %i", oldWidth);
        log(u"  dwScreenHeight: %i", oldHeight);
        log(u"Device is in lost state...");
        lost = 1;
    }

    // The waits keep the window's messages flowing: the restore of a
    // minimised window arrives through them, and so does the close or quit
    // that makes waiting on pointless. The device then stays lost.
    HRESULT result;
    do {
        if (!sleepFor(80)) return logGivingUp();
        if (first->callbacks) first->callbacks->whileDeviceLost();
        result = device->TestCooperativeLevel();
    } while (result == D3DERR_DEVICELOST);

    if (result != D3DERR_DRIVERINTERNALERROR) {
        WinShell::Window window(first->presentParameters.hDeviceWindow, 0, 0);
        D3DPRESENT_PARAMETERS parameters = buildPresentParameters(settings, window);
        int32_t invalidCalls = 0;
        bool reset = false;
        for (;;) {
            if (first->callbacks) first->callbacks->whileDeviceLost();
            const HRESULT answer = device->Reset(&parameters);
            if (answer == D3D_OK) {
                reset = true;
                break;
            }
            if (answer == D3DERR_DRIVERINTERNALERROR || answer == D3DERR_OUTOFVIDEOMEMORY) break;
            bool goOn = true;
            if (answer == D3DERR_DEVICELOST) {
                goOn = sleepFor(80);
            } else if (answer == D3DERR_INVALIDCALL) {
                // Our rebuilt parameters may be what the device refuses; from
                // the third refusal on, the last ones it accepted are used.
                if (++invalidCalls <= 2)
                    goOn = sleepFor(50);
                else
                    parameters = first->presentParameters;
            } else {
                goOn = sleepFor(50);
            }
            if (!goOn) return logGivingUp();
        }
        if (reset) {
            if (parameters.Windowed)
                fitClientArea(parameters.hDeviceWindow, parameters.BackBufferWidth,
                              parameters.BackBufferHeight);
            first->presentParameters = parameters;
        }
    }

    if (!lost) return;
    if (device->TestCooperativeLevel() != D3D_OK) return;

    log(u"New device restore successfully");
    currentDevice = device;
    buildStateBlocks();
    for (int32_t i = 0; i < texProjList.count; ++i) {
        TextureProj* projector = *texProjList.projectors.get(i);
        projector->restoreDeviceObjects();
        projector->restoreState();
    }
    for (auto* node = swapChains.head; node; node = node->next) {
        if (node == swapChains.head)
            node->item->attachImplicit();
        else
            node->item->attachAdditional();
    }
    first->beginRender();
    setReportContext(u"D3D", u"restoreDevice");
    for (auto* node = renderTextures.head; node; node = node->next)
        node->item->createDeviceObjects();
    for (int32_t i = 0; i < texProjList.count; ++i)
        (*texProjList.projectors.get(i))->createTargets();
    setDefaultRenderStates();
    // The camera moves by a hair, so whatever was cached for its old
    // position is worked out again on the next frame.
    if (currentSwapChain) currentSwapChain->position.x += 0.001f;
    setReportContext(u"D3D", u"restoreDevice");
    log(u"All memory is successfull restored");
    log(u"New Resolution:");
    log(u"  dwScreenWidth:  %i", first->presentParameters.BackBufferWidth);
    log(u"  dwScreenHeight: %i", first->presentParameters.BackBufferHeight);
    log(u"Device is in not lost state...");
    for (auto* node = swapChains.head; node; node = node->next)
        if (node->item->callbacks) node->item->callbacks->deviceRestored();
    lost = 0;
}

} // namespace D3D
