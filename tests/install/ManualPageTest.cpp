// SPDX-License-Identifier: MIT
// The manual page is made from `embossa --help`: it must say all of it, in
// its order, and be a page groff and man read without complaint.
#include <algorithm>
#include <cctype>

#include "install/InstallTree.h"

namespace {

using namespace install;

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string word; in >> word;) out.push_back(word);
    return out;
}

// The page as plain text, each paragraph on one line so no word is broken.
Outcome renderedPage(const std::string& pageSource) {
    return shell(pageSource + " | groff -man -Tascii -P-cbu -rLL=20000n", false);
}

// The first line of the help text whose words do not follow, in order and
// together, in the rendered page; empty when every line does. Headings come
// out in capitals and "Usage:" becomes the SYNOPSIS heading.
std::string firstLineMissing(const std::string& help, const std::string& page) {
    const std::vector<std::string> pageWords = words(page);
    auto at = pageWords.begin();
    bool afterBlank = true;
    for (const std::string& line : lines(help)) {
        std::string text = line.rfind("Usage: ", 0) == 0 ? line.substr(7) : line;
        const bool heading = afterBlank && !text.empty() && std::isupper(uint8_t(text[0])) &&
                             text.back() == ':' && text.find(':') == text.size() - 1;
        if (heading) {
            text.pop_back();
            for (char& c : text) c = char(std::toupper(uint8_t(c)));
        }
        const std::vector<std::string> lineWords = words(text);
        afterBlank = lineWords.empty();
        if (lineWords.empty()) continue;
        const auto found = std::search(at, pageWords.end(), lineWords.begin(), lineWords.end());
        if (found == pageWords.end()) return line;
        at = found + std::ptrdiff_t(lineWords.size());
    }
    return {};
}

class ManualPageTest : public InstalledTree {
protected:
    static std::string page() {
        return "gzip -dc " + quoted(installed("share/man/man1/embossa.1.gz").string());
    }
};

TEST_F(ManualPageTest, IsAPageManFindsAndGroffReadsWithoutWarnings) {
    const Outcome warnings = shell(page() + " | groff -man -ww -z");
    EXPECT_EQ(warnings.status, 0);
    EXPECT_EQ(warnings.output, "");

    const Outcome source = shell(page(), false);
    EXPECT_NE(source.output.find(".TH EMBOSSA 1 \"\" \"Embossa " EMBOSSA_VERSION "\""),
              std::string::npos)
        << source.output.substr(0, 300);
    EXPECT_NE(renderedPage(page()).output.find("embossa - " EMBOSSA_SUMMARY "\n"),
              std::string::npos);

    const Outcome where =
        shell("MANPATH=" + quoted(installed("share/man").string()) + " man -w embossa");
    EXPECT_EQ(where.output, installed("share/man/man1/embossa.1.gz").string() + "\n");
}

TEST_F(ManualPageTest, SaysEverythingTheHelpSaysInTheSameOrder) {
    const Outcome help = run({installed("bin/embossa").string(), "--help"});
    ASSERT_EQ(help.status, 0);
    const Outcome rendered = renderedPage(page());
    ASSERT_EQ(rendered.status, 0);
    EXPECT_EQ(firstLineMissing(help.output, rendered.output), "") << rendered.output;
}

// The page maker on help text that could trip it: lines troff would take for
// requests, backslashes, a wrapped synopsis and term, an entry's own options,
// and a paragraph after the entries of a section.
TEST(HelpToManTest, KeepsTextThatLooksLikeTroffAndWrappedForms) {
    TempFolder folder;
    const std::string help = "Usage: embossa [--log FILE] tool X [--long-option VALUE]\n"
                             "               [--wrapped W]\n"
                             "       embossa --help\n"
                             "\n"
                             ".dot leads this line, and a \\ backslash sits in it.\n"
                             "'quote leads this one.\n"
                             "\n"
                             "Tools:\n"
                             "  tool X [--long-option VALUE]\n"
                             "       [--wrapped W]\n"
                             "      .body text led by a dot\n"
                             "      'and by a quote; \\fB stays as typed\n"
                             "      --own N     an option of the entry\n"
                             "                  whose text wraps\n"
                             "      --bare      another\n"
                             "      -x starts a line of the entry's text\n"
                             "  --flag   an entry with its text beside it\n"
                             "\n"
                             "Afterwards a plain paragraph.\n";
    TempFolder::writeBytes(folder / "help.txt", help);
    const std::string page = commandLine({"awk", "-v", "version=9.9", "-v", "summary=test", "-f",
                                          EMBOSSA_SOURCE_DIR "/resources/desktop/help-to-man.awk",
                                          (folder / "help.txt").string()});

    const Outcome warnings = shell(page + " | groff -man -ww -z");
    EXPECT_EQ(warnings.output, "");
    const Outcome rendered = renderedPage(page);
    ASSERT_EQ(rendered.status, 0);
    EXPECT_EQ(firstLineMissing(help, rendered.output), "") << rendered.output;
    // The entry's own options are a list of their own, and the entry's text
    // goes on after them.
    std::vector<std::string> trimmed;
    for (std::string line : lines(rendered.output)) {
        line.erase(0, line.find_first_not_of(' '));
        line.erase(line.find_last_not_of(' ') + 1);
        if (!line.empty()) trimmed.push_back(line);
    }
    // A tag short enough shares its line with its text, as man lays it out.
    const std::vector<std::string> ownOptions = {
        "--own N", "an option of the entry whose text wraps", "--bare another",
        "-x starts a line of the entry's text"};
    EXPECT_NE(std::search(trimmed.begin(), trimmed.end(), ownOptions.begin(), ownOptions.end()),
              trimmed.end())
        << rendered.output;
    // The wrapped option stays in the term, and the last paragraph is not
    // taken for the text of the section's last entry.
    EXPECT_NE(rendered.output.find("\n       tool X [--long-option VALUE] [--wrapped W]\n"),
              std::string::npos)
        << rendered.output;
    EXPECT_NE(rendered.output.find("\nNOTES\n       Afterwards"), std::string::npos)
        << rendered.output;
}

} // namespace
