// SPDX-License-Identifier: MIT
// The default window host: the window layer of platform/win.
#include "d3d9/WindowHost.h"

#include <mutex>

namespace d3d9 {
namespace {

class WindowLayerHost final : public WindowHost {
public:
    bool isWindow(HWND window) override { return window && ::IsWindow(window); }
    bool clientSize(HWND window, int* width, int* height) override {
        RECT rect;
        if (!isWindow(window) || !::GetClientRect(window, &rect)) return false;
        *width = rect.right - rect.left;
        *height = rect.bottom - rect.top;
        return true;
    }
    bool usable(HWND window) override {
        return isWindow(window) && !win::minimized(window) && ::IsWindowVisible(window);
    }
    void present(HWND window, const win::Surface& surface) override {
        if (isWindow(window)) win::setWindowSurface(window, surface);
    }
    // The window layer composites our textures, so both must draw in its
    // context; where it has none the runtime makes a context of its own.
    bool makeContextCurrent() override { return win::makeGLContextCurrent(); }
};

std::mutex& hostMutex() {
    static std::mutex mutex;
    return mutex;
}
std::shared_ptr<WindowHost>& installed() {
    static std::shared_ptr<WindowHost> host;
    return host;
}

} // namespace

WindowHost& windowHost() {
    static WindowLayerHost windowLayer;
    std::lock_guard lock(hostMutex());
    if (installed()) return *installed();
    return windowLayer;
}

} // namespace d3d9

namespace d3d9::test {
void setWindowHost(std::shared_ptr<WindowHost> host) {
    std::lock_guard lock(d3d9::hostMutex());
    d3d9::installed() = std::move(host);
}
} // namespace d3d9::test
