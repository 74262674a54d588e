// SPDX-License-Identifier: MIT
#include "core/Report.h"

#include "core/Language.h"
#include "core/Log.h"

char16_t reportClass[kReportClassUnits] = {};
char16_t reportFunction[kReportFunctionUnits] = {};

namespace {

template <int32_t N>
void copyName(char16_t (&target)[N], const char16_t* name) {
    int32_t i = 0;
    if (name)
        for (; i < N - 1 && name[i]; ++i) target[i] = name[i];
    target[i] = 0;
}

int32_t logReport(void*, const String& caption, const String& text, uint32_t) {
    log(u"Report: %s: %s", caption, text);
    return IDOK;
}

ReportPresenter& presenter() {
    static ReportPresenter current;
    return current;
}

} // namespace

void setReportContext(const char16_t* cls, const char16_t* fn) {
    copyName(reportClass, cls);
    copyName(reportFunction, fn);
}

ReportPresenter setReportPresenter(ReportPresenter next) {
    ReportPresenter previous = std::move(presenter());
    presenter() = std::move(next);
    return previous;
}

int32_t showReport(void* owner, const char16_t* captionKey, const char16_t* textKey,
                   uint32_t style) {
    const String& caption = language().get(String(captionKey));
    const String& text = language().get(String(textKey));
    if (presenter()) return presenter()(owner, caption, text, style);
    return logReport(owner, caption, text, style);
}

int32_t showReport(void* owner, const char16_t* captionKey, const char16_t* textKey, uint32_t style,
                   const String& detail) {
    const String& caption = language().get(String(captionKey));
    String text = language().get(String(textKey));
    if (detail.length > 0) {
        text.append(u"\n\n", 2);
        text.append(detail.text(), detail.length);
    }
    if (presenter()) return presenter()(owner, caption, text, style);
    return logReport(owner, caption, text, style);
}

void messageBeep(uint32_t type) {
    log(u"MessageBeep(%u)", type);
}

void checkCoordinateRange(float x, float y, float z) {
    if (x < -10.0f || x > 10.0f || y < -10.0f || y > 10.0f || z < -10.0f || z > 10.0f)
        messageBeep(0);
}
