// SPDX-License-Identifier: MIT
#include "core/Report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Language.h"
#include "core/Log.h"

namespace {

// Collects log lines for the length of a test.
class ReportLog : public ::testing::Test {
protected:
    std::vector<std::u16string> lines;
    ScopedLogSink sink{[this](const String& line) { lines.emplace_back(line.text()); }};
};

TEST_F(ReportLog, ContextHoldsTheLastNamesAndTruncates) {
    setReportContext(u"StructTexture", u"load");
    EXPECT_EQ(std::u16string(reportClass), u"StructTexture");
    EXPECT_EQ(std::u16string(reportFunction), u"load");
    setReportContext(u"FileInterface", u"open");
    EXPECT_EQ(std::u16string(reportClass), u"FileInterface");
    EXPECT_EQ(std::u16string(reportFunction), u"open");

    const std::u16string longName(200, u'x');
    setReportContext(longName.c_str(), longName.c_str());
    EXPECT_EQ(std::u16string(reportClass), longName.substr(0, kReportClassUnits - 1));
    EXPECT_EQ(std::u16string(reportFunction), longName.substr(0, kReportFunctionUnits - 1));
    setReportContext(nullptr, u"");
    EXPECT_EQ(reportClass[0], 0);
}

TEST_F(ReportLog, EmptyTableShowsFallbackCaptionAndText) {
    ASSERT_EQ(language().languageCount, 0);
    EXPECT_EQ(showReport(nullptr, u"Error", u"ErrorDirect3D", MB_OK), IDOK);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], u"Report: ==>Error<==: ==>Error<==");
}

TEST_F(ReportLog, PresenterReceivesLookedUpTexts) {
    Language& table = language();
    table.addLanguage(u"English");
    table.addRelation(0, u"Error", u"Error");
    std::u16string seen;
    uint32_t seenStyle = 0;
    ReportPresenter previous =
        setReportPresenter([&](void*, const String& caption, const String& text, uint32_t style) {
            seen = std::u16string(caption.text()) + u"|" + text.text();
            seenStyle = style;
            return 7;
        });
    EXPECT_EQ(showReport(nullptr, u"Error", u"D3D_Init_Error", MB_OK | MB_ICONEXCLAMATION), 7);
    setReportPresenter(std::move(previous));
    table.clear();
    EXPECT_EQ(seen, u"Error|==>Error<==");
    EXPECT_EQ(seenStyle, 0x30u);
    EXPECT_TRUE(lines.empty());
}

TEST_F(ReportLog, RangeAlarmBeepsOncePerVertexOutsideTen) {
    checkCoordinateRange(10.0f, -10.0f, 0.0f);
    EXPECT_TRUE(lines.empty());
    checkCoordinateRange(10.001f, 0.0f, 0.0f);
    checkCoordinateRange(0.0f, -10.001f, 11.0f);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], u"MessageBeep(0)");
    EXPECT_EQ(lines[1], u"MessageBeep(0)");
}

} // namespace
