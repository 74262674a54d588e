// SPDX-License-Identifier: MIT
// The renderer's test fixture: a fake Direct3D handed to D3D::init through
// its factory and a fake D3DX installed as the runtime's D3DX backend, the
// real window layer headless, sleeps recorded instead of slept, log lines
// and user reports captured, and every global of the renderer put back
// afterwards. Tests then check what was logged, shown and left referenced.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/Language.h"
#include "core/Log.h"
#include "core/Report.h"
#include "d3d9/D3DXBackend.h"
#include "render/D3D/D3D.h"
#include "render/FakeDirect3D.h"
#include "render/RecordingCallbacks.h"
#include "render/StructTexture.h"
#include "render/TestWindow.h"

namespace fake {

struct Report {
    void* owner;
    std::u16string caption;
    std::u16string text;
    uint32_t style;
};

using Callbacks = rendertest::RecordingCallbacks;

} // namespace fake

class RenderTest : public ::testing::Test {
protected:
    fake::World world;
    std::shared_ptr<fake::D3DX> d3dx = std::make_shared<fake::D3DX>();
    fake::Direct3D* direct3D = nullptr;
    std::vector<std::u16string> lines;
    std::vector<uint32_t> sleeps;
    std::vector<fake::Report> reports;
    int32_t factoryCalls = 0;
    ScopedLogSink sink{
        [this](const String& line) { lines.emplace_back(line.text(), size_t(line.length)); }};

    void SetUp() override {
        direct3D = world.direct3D();
        direct3D->refs = 0; // each Direct3DCreate9 hands out one reference
        D3D::setDirect3DFactory([this](UINT version) -> IDirect3D9* {
            ++factoryCalls;
            EXPECT_EQ(version, 32u);
            direct3D->AddRef();
            return direct3D;
        });
        d3d9::test::setD3DXBackend(d3dx);
        D3D::setSleepFunction([this](uint32_t ms) { sleeps.push_back(ms); });
        setReportPresenter(
            [this](void* owner, const String& caption, const String& text, uint32_t style) {
                reports.push_back(
                    {owner, std::u16string(caption.text()), std::u16string(text.text()), style});
                return 1;
            });
    }

    void TearDown() override {
        D3D::device.release();
        D3D::release();
        D3D::device.settings = D3D::Device::DeviceSettings{};
        D3D::device.texProjList.count = 0;
        D3D::device.cullMode = D3DCULL_CCW;
        D3D::setDirect3DFactory({});
        D3D::setSleepFunction({});
        setReportPresenter({});
        d3d9::test::setD3DXBackend(nullptr);
        EXPECT_EQ(StructTexture::records().count, 0) << "a texture record outlived its handles";
    }

    // D3D::init and D3D::Device::init on the window.
    bool start(rendertest::TestWindow& window, D3D::SwapChainInterface* callbacks = nullptr) {
        if (!D3D::init()) return false;
        WinShell::Window shell(window.handle(), 0, 0);
        return D3D::device.init(shell, callbacks, 54270, 1) == 1;
    }

    fake::Device* device() { return direct3D->device; }

    bool logged(const std::u16string& line) const {
        for (const auto& l : lines)
            if (l == line) return true;
        return false;
    }
    int32_t countLogged(const std::u16string& line) const {
        int32_t n = 0;
        for (const auto& l : lines) n += l == line;
        return n;
    }
    // The lines from the first one equal to `first`, `count` of them.
    std::vector<std::u16string> linesFrom(const std::u16string& first, size_t count) const {
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i] == first)
                return std::vector<std::u16string>(lines.begin() + long(i),
                                                   lines.begin() +
                                                       long(std::min(lines.size(), i + count)));
        return {};
    }
};
