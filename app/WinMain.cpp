// SPDX-License-Identifier: MIT
#include "app/WinMain.h"

#include "core/Language.h"
#include "core/Log.h"
#include "core/RelationReader.h"
#include "core/Report.h"
#include "core/WinShell/Desktop.h"
#include "render/D3D/D3D.h"
#include "render/D3D/Device.h"
#include "resources/Resources.h"
#include "shared/StandInLog.h"
#include "win/Win.h"

namespace {

// Reports become message boxes and the window layer's notes join the log,
// once the window layer exists to show them.
void connectWindowLayer() {
    static bool connected = false;
    if (connected) return;
    connected = true;
    registerResources();
    standin::setLogFunction([](const std::u16string& line) { log(u"%s", line.c_str()); });
    setReportPresenter([](void* owner, const String& caption, const String& text, uint32_t style) {
        return int32_t(MessageBoxW(static_cast<HWND>(owner), text.text(), caption.text(), style));
    });
}

// Message boxes read their texts from the table; Direct3D's release empties
// it again when the dialog ends, so each run fills it afresh.
void loadLanguageTable() {
    language().clear();
    readRelations(language(), englishLanguageTable(), u"English.lang");
}

} // namespace

Embossa& application() {
    static Embossa object;
    return object;
}

int WinMain(HINSTANCE instance) {
    instanceHandle = instance;
    connectWindowLayer();
    // Once per process, before the dialog, as the engine's start-up does;
    // the tool itself reads none of the handles.
    static const bool desktopDetected = (WinShell::Desktop::detectDesktopHWNDs(), true);
    (void)desktopDetected;
    loadLanguageTable();
    Embossa& object = application();
    object.show(Embossa::kDialogId, nullptr, 0, 1);
    // The device goes while the window layer and its GL context still exist;
    // left to the static destructors it would outlive them.
    object.releaseView();
    D3D::device.release();
    D3D::release();
    return -1;
}
