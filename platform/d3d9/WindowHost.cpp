// SPDX-License-Identifier: MIT
// The default window host: the window layer of platform/win. Its functions
// are referenced weakly, so the runtime also links into programs and tests
// that carry no window layer; there every window is unknown and only the
// CPU-only device or a test host can be used.
#include "d3d9/WindowHost.h"

#include <mutex>

// Weak references to the window layer. A program that links platform/win
// resolves them; one that does not sees null addresses.
BOOL IsWindow(HWND window) __attribute__((weak));
BOOL IsWindowVisible(HWND window) __attribute__((weak));
BOOL GetClientRect(HWND window, RECT* rect) __attribute__((weak));
namespace win {
void setWindowSurface(HWND window, const Surface& surface) __attribute__((weak));
bool minimized(HWND window) __attribute__((weak));
bool makeGLContextCurrent() __attribute__((weak));
} // namespace win

namespace d3d9 {
namespace {

class WindowLayerHost final : public WindowHost {
public:
    bool isWindow(HWND window) override {
        return window && &::IsWindow != nullptr && ::IsWindow(window);
    }
    bool clientSize(HWND window, int* width, int* height) override {
        RECT rect;
        if (!isWindow(window) || &::GetClientRect == nullptr || !::GetClientRect(window, &rect))
            return false;
        *width = rect.right - rect.left;
        *height = rect.bottom - rect.top;
        return true;
    }
    bool usable(HWND window) override {
        if (!isWindow(window)) return false;
        if (&win::minimized != nullptr && win::minimized(window)) return false;
        return &::IsWindowVisible == nullptr || ::IsWindowVisible(window);
    }
    void present(HWND window, const win::Surface& surface) override {
        if (isWindow(window) && &win::setWindowSurface != nullptr)
            win::setWindowSurface(window, surface);
    }
    // The window layer composites our textures, so both must draw in its
    // context; without the layer the runtime makes a context of its own.
    bool makeContextCurrent() override {
        return &win::makeGLContextCurrent != nullptr && win::makeGLContextCurrent();
    }
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
