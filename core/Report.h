// SPDX-License-Identifier: MIT
// User reports and the report context. A reporting operation first names
// itself in the context, then writes log lines; failures the user must hear
// about become a message box whose caption and text come from the language
// table. The box itself belongs to the window layer, which installs a
// presenter here; until it does (and in tests) a report is one log line
// answered with OK. The beep has no bell to ring, so it is a log line too.
#pragma once

#include <cstdint>
#include <functional>

#include "core/String.h"
#include "win/WinTypes.h"

inline constexpr int32_t kReportClassUnits = 64;
inline constexpr int32_t kReportFunctionUnits = 64;

// The last class and operation that reported, zero-terminated. Written on
// the main thread only; nothing in the engine reads them back.
extern char16_t reportClass[kReportClassUnits];
extern char16_t reportFunction[kReportFunctionUnits];

// Copies both names, cutting them to fit; a null name counts as empty.
void setReportContext(const char16_t* cls, const char16_t* fn);

// Shows caption and text modally and returns the button pressed.
using ReportPresenter =
    std::function<int32_t(void* owner, const String& caption, const String& text, uint32_t style)>;

// Returns the previous presenter; an empty one restores the logging default.
ReportPresenter setReportPresenter(ReportPresenter presenter);

// Looks up both keys (a missing key reads "==>Error<==") and presents them;
// returns the presenter's answer. The caller then fails its operation.
int32_t showReport(void* owner, const char16_t* captionKey, const char16_t* textKey,
                   uint32_t style);
// The same with a line of particulars below the looked-up text: which file,
// and why. The particulars are shown as given, never used as a format.
int32_t showReport(void* owner, const char16_t* captionKey, const char16_t* textKey, uint32_t style,
                   const String& detail);

void messageBeep(uint32_t type);

// The range alarm of the bone-transform loops: one beep per vertex when any
// coordinate leaves [-10, 10]; the values themselves are left alone.
void checkCoordinateRange(float x, float y, float z);
