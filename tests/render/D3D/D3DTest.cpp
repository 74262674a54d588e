// SPDX-License-Identifier: MIT
// Opening Direct3D: the single start, the capability retries, the resolution
// list, the identifier lines, and the choices made before a device exists
// (formats, multisampling, present parameters) with their log block.
#include "render/D3D/D3D.h"

#include "render/RenderFixture.h"

namespace {

using D3DInit = RenderTest;

TEST_F(D3DInit, OpensOnceAndASecondCallTouchesNothing) {
    ASSERT_EQ(D3D::init(), 1);
    EXPECT_EQ(D3D::direct3D, direct3D);
    EXPECT_TRUE(logged(u"GetDeviceCaps: D3D_OK"));
    const size_t callsAfterFirst = world.calls.size();

    lines.clear();
    EXPECT_EQ(D3D::init(), 1);
    EXPECT_EQ(factoryCalls, 1);
    EXPECT_EQ(world.calls.size(), callsAfterFirst);
    EXPECT_EQ(lines, std::vector<std::u16string>{u"Direct3D still initialized."});
    EXPECT_EQ(direct3D->refs, 1u);

    D3D::release();
    EXPECT_EQ(direct3D->refs, 0u);
    EXPECT_EQ(D3D::direct3D, nullptr);
    EXPECT_EQ(D3D::resolutions.size(), 0);
}

TEST_F(D3DInit, ResolutionsAreDistinctSizesSortedByWidthThenHeight) {
    direct3D->modes = {{1024, 768, 60}, {800, 600, 60}, {1024, 768, 75}, {800, 600, 85},
                       {1024, 600, 60}, {640, 480, 60}, {1280, 720, 50}, {1024, 600, 75}};
    ASSERT_EQ(D3D::init(), 1);
    ASSERT_EQ(D3D::resolutions.size(), 5); // shrunk to the distinct pairs
    const int32_t expected[5][2] = {{640, 480}, {800, 600}, {1024, 600}, {1024, 768}, {1280, 720}};
    for (int32_t i = 0; i < 5; ++i) {
        EXPECT_EQ(D3D::resolutions.get(i)->width, expected[i][0]) << i;
        EXPECT_EQ(D3D::resolutions.get(i)->height, expected[i][1]) << i;
    }
    EXPECT_EQ(linesFrom(u"Screen resolutions:", 6),
              (std::vector<std::u16string>{u"Screen resolutions:", u" 640X480", u" 800X600",
                                           u" 1024X600", u" 1024X768", u" 1280X720"}));
}

TEST_F(D3DInit, AdapterIdentifierIsLoggedFromTheAnsiCodePage) {
    std::strcpy(direct3D->identifier.Driver, "caf\xE9.dll");
    std::strcpy(direct3D->identifier.Description, "Stand-in \x80 adapter");
    direct3D->identifier.DriverVersion = (int64_t(7) << 32) | 1234;
    direct3D->identifier.VendorId = 0x10DE;
    ASSERT_EQ(D3D::init(), 1);
    EXPECT_EQ(linesFrom(u"Driver:           caf\u00E9.dll", 5),
              (std::vector<std::u16string>{
                  u"Driver:           caf\u00E9.dll", u"Description:      Stand-in \u20AC adapter",
                  u"DeviceName:       ", u"DriverVersion:    1234", u"VendorId:         4318"}));
}

TEST_F(D3DInit, CapabilityQueriesAreRetriedWithAFreshObject) {
    direct3D->capsResults = {D3DERR_NOTAVAILABLE, D3DERR_DEVICELOST};
    ASSERT_EQ(D3D::init(), 1);
    EXPECT_EQ(factoryCalls, 3);
    EXPECT_EQ(sleeps, (std::vector<uint32_t>{300, 300}));
    EXPECT_EQ(linesFrom(u"[0] D3DERR_NOTAVAILABLE", 5),
              (std::vector<std::u16string>{u"[0] D3DERR_NOTAVAILABLE", u"Try again...",
                                           u"[1] D3DERR_DEVICELOST", u"Try again...",
                                           u"GetDeviceCaps: D3D_OK"}));
    EXPECT_EQ(direct3D->refs, 1u); // the failed objects were released
    EXPECT_TRUE(reports.empty());
}

TEST_F(D3DInit, MissingDirectXIsReportedAndNothingStaysOpen) {
    // 500 failed capability queries.
    direct3D->capsResults.assign(500, D3DERR_NOTAVAILABLE);
    EXPECT_EQ(D3D::init(), 0);
    EXPECT_EQ(sleeps.size(), 500u);
    EXPECT_EQ(direct3D->refs, 0u);
    EXPECT_EQ(D3D::direct3D, nullptr);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].owner, nullptr);
    EXPECT_EQ(reports[0].caption, u"==>Error<==");
    EXPECT_EQ(reports[0].text, u"==>Error<==");
    EXPECT_EQ(reports[0].style, MB_OK);
    EXPECT_EQ(lines.back(), u"==>Error<==");

    // A runtime that hands out nothing, and an old D3DX, fail at once.
    reports.clear();
    D3D::setDirect3DFactory([](UINT) { return nullptr; });
    EXPECT_EQ(D3D::init(), 0);
    EXPECT_EQ(reports.size(), 1u);
    d3dx->versionOk = false;
    factoryCalls = 0;
    EXPECT_EQ(D3D::init(), 0);
    EXPECT_EQ(reports.size(), 2u);
    EXPECT_EQ(factoryCalls, 0);
}

TEST_F(D3DInit, ReleaseEmptiesTheLanguageTable) {
    language().addLanguage(u"English");
    language().addRelation(0, u"Info", u"Information");
    ASSERT_EQ(D3D::init(), 1);
    D3D::release();
    EXPECT_EQ(language().languageCount, 0);
    EXPECT_EQ(language().get(String(u"Info")), languageFallbackText());
}

using FormatChoice = RenderTest;

TEST_F(FormatChoice, WindowedFollowsTheDesktopAndLeavesOtherDesktopsAlone) {
    ASSERT_EQ(D3D::init(), 1);
    D3D::Device::DeviceSettings settings;
    EXPECT_EQ(D3D::chooseBackBufferFormat(settings, 0), D3DFMT_A8R8G8B8);
    EXPECT_EQ(settings.adapterFormat, uint32_t(D3DFMT_X8R8G8B8));
    EXPECT_EQ(settings.bits32, 1u);

    direct3D->desktopFormat = D3DFMT_R5G6B5;
    EXPECT_EQ(D3D::chooseBackBufferFormat(settings, 0), D3DFMT_R5G6B5);
    EXPECT_EQ(settings.adapterFormat, uint32_t(D3DFMT_R5G6B5));
    EXPECT_EQ(settings.bits32, 0u);

    D3D::Device::DeviceSettings fresh;
    direct3D->desktopFormat = D3DFMT_X1R5G5B5;
    EXPECT_EQ(D3D::chooseBackBufferFormat(fresh, 0), D3DFMT_UNKNOWN);
    EXPECT_EQ(fresh.adapterFormat, 0u);
    EXPECT_EQ(D3D::chooseBackBufferFormat(settings, 0), D3DFMT_R5G6B5); // kept from before
}

TEST_F(FormatChoice, FullScreenFallsBackThroughTheListedPairs) {
    ASSERT_EQ(D3D::init(), 1);
    D3D::Device::DeviceSettings settings;
    settings.bits32 = 1;
    direct3D->deviceTypeOk = [](D3DFORMAT adapter, D3DFORMAT back) {
        return adapter == D3DFMT_X8R8G8B8 && back == D3DFMT_X8R8G8B8;
    };
    EXPECT_EQ(D3D::chooseBackBufferFormat(settings, 1), D3DFMT_X8R8G8B8);
    EXPECT_EQ(settings.adapterFormat, uint32_t(D3DFMT_X8R8G8B8));

    D3D::Device::DeviceSettings shallow;
    shallow.bits32 = 1; // 32-bit wanted, but only 16-bit modes pass
    direct3D->deviceTypeOk = [](D3DFORMAT adapter, D3DFORMAT back) {
        return adapter == D3DFMT_X1R5G5B5 && back == D3DFMT_A1R5G5B5;
    };
    EXPECT_EQ(D3D::chooseBackBufferFormat(shallow, 1), D3DFMT_A1R5G5B5);
    EXPECT_EQ(shallow.adapterFormat, uint32_t(D3DFMT_X1R5G5B5));

    D3D::Device::DeviceSettings none;
    direct3D->deviceTypeOk = [](D3DFORMAT, D3DFORMAT) { return false; };
    EXPECT_EQ(D3D::chooseBackBufferFormat(none, 1), D3DFMT_UNKNOWN);
}

TEST_F(FormatChoice, DepthFormatsAreTriedInDepthOrder) {
    ASSERT_EQ(D3D::init(), 1);
    D3D::Device::DeviceSettings settings;
    D3D::chooseBackBufferFormat(settings, 0);
    direct3D->depthFormatOk = [](D3DFORMAT f) { return f == D3DFMT_D16 || f == D3DFMT_D32; };
    EXPECT_EQ(D3D::chooseDepthStencilFormat(settings), D3DFMT_D32);
    settings.bits32 = 0;
    EXPECT_EQ(D3D::chooseDepthStencilFormat(settings), D3DFMT_D16);
    direct3D->depthFormatOk = [](D3DFORMAT f) { return f == D3DFMT_D24X4S4 || f == D3DFMT_D16; };
    EXPECT_EQ(D3D::chooseDepthStencilFormat(settings), D3DFMT_D24X4S4);
    direct3D->depthFormatOk = [](D3DFORMAT) { return false; };
    EXPECT_EQ(D3D::chooseDepthStencilFormat(settings), D3DFMT_UNKNOWN);
}

TEST_F(FormatChoice, MultisamplingNeedsBothFormatsAndKeepsTheLargestCount) {
    EXPECT_EQ(D3D::queryMultiSample().largest, 0u); // no Direct3D yet
    ASSERT_EQ(D3D::init(), 1);
    direct3D->multiSample = [](D3DFORMAT format, D3DMULTISAMPLE_TYPE type, DWORD* levels) {
        if (type == D3DMULTISAMPLE_NONMASKABLE) {
            if (levels) *levels = 3;
            return D3D_OK;
        }
        if (type == 2 || type == 4) return D3D_OK;
        if (type == 8 && format != D3DFMT_D24S8) return D3D_OK; // colour only
        return D3DERR_NOTAVAILABLE;
    };
    const D3D::MultiSampleSupport support = D3D::queryMultiSample();
    EXPECT_EQ(support.nonMaskable, 1u);
    EXPECT_EQ(support.nonMaskableQuality, 3u);
    EXPECT_EQ(support.smallest, 2u);
    EXPECT_EQ(support.largest, 4u);
    EXPECT_EQ(D3D::device.settings.backBufferFormat, uint32_t(D3DFMT_A8R8G8B8));
}

TEST_F(FormatChoice, TheToolsMultisampleRuleIncludingTheNonMaskableOnlyCase) {
    D3D::Device::DeviceSettings settings;
    settings.multiSampleType = 7;
    D3D::chooseMultiSample(settings, {});
    EXPECT_EQ(settings.multiSampleType, 0u);
    D3D::chooseMultiSample(settings, {1, 4, 2, 8});
    EXPECT_EQ(settings.multiSampleType, 2u);
    EXPECT_EQ(settings.multiSampleQuality, 0u);
    // Non-maskable only with two levels: the highest valid quality, 1.
    D3D::chooseMultiSample(settings, {1, 2, 0, 0});
    EXPECT_EQ(settings.multiSampleType, uint32_t(D3DMULTISAMPLE_NONMASKABLE));
    EXPECT_EQ(settings.multiSampleQuality, 1u);
    D3D::chooseMultiSample(settings, {1, 3, 0, 0});
    EXPECT_EQ(settings.multiSampleType, 0u);
    EXPECT_EQ(settings.multiSampleQuality, 0u);
}

using PresentParameters = RenderTest;

TEST_F(PresentParameters, WindowedAsksForTheClientAreaWithZeroSize) {
    rendertest::TestWindow window(321, 203);
    ASSERT_EQ(D3D::init(), 1);
    D3D::device.settings.multiSampleType = 2;
    WinShell::Window shell(window.handle(), 0, 0);
    const D3DPRESENT_PARAMETERS p = D3D::buildPresentParameters(D3D::device.settings, shell);
    EXPECT_EQ(p.BackBufferWidth, 0u);
    EXPECT_EQ(p.BackBufferHeight, 0u);
    EXPECT_EQ(p.hDeviceWindow, window.handle());
    EXPECT_EQ(p.Windowed, 1);
    EXPECT_EQ(p.BackBufferFormat, D3DFMT_A8R8G8B8);
    EXPECT_EQ(p.AutoDepthStencilFormat, D3DFMT_D24S8);
    EXPECT_EQ(p.EnableAutoDepthStencil, 1);
    EXPECT_EQ(p.BackBufferCount, 1u);
    EXPECT_EQ(p.MultiSampleType, D3DMULTISAMPLE_2_SAMPLES);
    EXPECT_EQ(p.SwapEffect, D3DSWAPEFFECT_DISCARD);
    EXPECT_EQ(p.PresentationInterval, D3DPRESENT_INTERVAL_DEFAULT);
    EXPECT_EQ(p.Flags, D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL);
}

TEST_F(PresentParameters, FullScreenTakesTheNearestResolution) {
    direct3D->modes = {{640, 480, 60}, {800, 600, 60}, {1024, 768, 60}, {1600, 1200, 60}};
    ASSERT_EQ(D3D::init(), 1);
    rendertest::TestWindow nearer(1000, 700); // 1024 × 768 is 92 away, 800 × 600 300
    WinShell::Window shell(nearer.handle(), 1, 0);
    D3DPRESENT_PARAMETERS p = D3D::buildPresentParameters(D3D::device.settings, shell);
    EXPECT_EQ(p.BackBufferWidth, 1024u);
    EXPECT_EQ(p.BackBufferHeight, 768u);
    EXPECT_EQ(p.Windowed, 0);
    EXPECT_EQ(p.PresentationInterval, D3DPRESENT_INTERVAL_IMMEDIATE); // vsync 0

    rendertest::TestWindow tie(720, 540); // 640 × 480 and 800 × 600 both 140 away
    WinShell::Window tieShell(tie.handle(), 1, 0);
    p = D3D::buildPresentParameters(D3D::device.settings, tieShell);
    EXPECT_EQ(p.BackBufferWidth, 640u);

    rendertest::TestWindow huge(4000, 3000); // nothing within 1024: the smallest
    WinShell::Window hugeShell(huge.handle(), 1, 0);
    D3D::device.settings.vsync = 1;
    p = D3D::buildPresentParameters(D3D::device.settings, hugeShell);
    EXPECT_EQ(p.BackBufferWidth, 640u);
    EXPECT_EQ(p.BackBufferHeight, 480u);
    EXPECT_EQ(p.PresentationInterval, D3DPRESENT_INTERVAL_DEFAULT);
}

TEST_F(PresentParameters, FullScreenWithoutResolutionsAsksForTheWindowSize) {
    ASSERT_EQ(D3D::init(), 1);
    rendertest::TestWindow window(1280, 1024);
    WinShell::Window shell(window.handle(), 1, 0);
    const D3DPRESENT_PARAMETERS p = D3D::buildPresentParameters(D3D::device.settings, shell);
    EXPECT_EQ(p.BackBufferWidth, 1280u);
    EXPECT_EQ(p.BackBufferHeight, 1024u);
}

TEST_F(PresentParameters, LogBlockLinesAndNames) {
    D3DPRESENT_PARAMETERS p;
    p.hDeviceWindow = reinterpret_cast<HWND>(uintptr_t(0x5A0012ABu));
    p.Windowed = 1;
    p.BackBufferWidth = 320;
    p.BackBufferHeight = 200;
    p.BackBufferFormat = D3DFMT_A8R8G8B8;
    p.AutoDepthStencilFormat = D3DFMT_D24S8;
    p.EnableAutoDepthStencil = 1;
    p.BackBufferCount = 1;
    p.MultiSampleType = D3DMULTISAMPLE_4_SAMPLES;
    p.MultiSampleQuality = 0;
    p.SwapEffect = D3DSWAPEFFECT(7);
    p.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    p.Flags = 2;
    D3D::logPresentParameters(p);
    const std::vector<std::u16string> expected = {
        u"- D3DPRESENT_PARAMETERS ----------------------------------",
        u"| hDeviceWindow              = 0x5A0012AB",
        u"| Windowed                   = 1",
        u"| BackBufferWidth            = 320",
        u"| BackBufferHeight           = 200",
        u"| BackBufferFormat           = D3DFMT_A8R8G8B8",
        u"| AutoDepthStencilFormat     = D3DFMT_D24S8",
        u"| EnableAutoDepthStencil     = 1",
        u"| BackBufferCount            = 1",
        u"| MultiSampleType            = D3DMULTISAMPLE_4_SAMPLES",
        u"| MultiSampleQuality         = 0",
        u"| SwapEffect                 = Unknown Swap Effect",
        u"| FullScreen_RefreshRateInHz = 0",
        u"| PresentationInterval       = D3DPRESENT_INTERVAL_IMMEDIATE",
        u"| Flags                      = 2",
        u"----------------------------------------------------------",
    };
    EXPECT_EQ(lines, expected);

    lines.clear();
    p.MultiSampleType = D3DMULTISAMPLE_NONMASKABLE;
    p.SwapEffect = D3DSWAPEFFECT_COPY;
    p.BackBufferFormat = D3DFMT_DXT1;
    p.PresentationInterval = 3;
    D3D::logPresentParameters(p);
    EXPECT_EQ(lines[5], u"| BackBufferFormat           = Unknown Format");
    EXPECT_EQ(lines[9], u"| MultiSampleType            = D3DMULTISAMPLE_NONMASKABLE");
    EXPECT_EQ(lines[11], u"| SwapEffect                 = D3DSWAPEFFECT_COPY");
    EXPECT_EQ(lines[13], u"| PresentationInterval       = Unknown Presentation Interval");
}

} // namespace
