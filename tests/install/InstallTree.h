// SPDX-License-Identifier: MIT
// What the install suites share: running the tools they check files with,
// and a private install of the built tree (`cmake --install --prefix`) in a
// folder of its own, so nothing outside it is touched.
#pragma once

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>

#include <gtest/gtest.h>

#include "support/TempFolder.h"

namespace install {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1; // exit status, or -1 when the command did not end normally
    std::string output;
};

// A word the shell reads back unchanged.
inline std::string quoted(const std::string& word) {
    std::string out = "'";
    for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

inline std::string commandLine(const std::vector<std::string>& words) {
    std::string line;
    for (const std::string& word : words) line += (line.empty() ? "" : " ") + quoted(word);
    return line;
}

// Runs a shell command line; the output holds its stdout, and its stderr too
// unless the line redirects it.
inline Outcome shell(const std::string& line, bool withErrors = true) {
    Outcome outcome;
    std::FILE* pipe = ::popen((line + (withErrors ? " 2>&1" : "")).c_str(), "r");
    if (!pipe) return outcome;
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        outcome.output.append(chunk, n);
    const int status = ::pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

inline Outcome run(const std::vector<std::string>& words) {
    return shell(commandLine(words));
}

inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// Every regular file and link below `root`, as paths relative to it.
inline std::set<std::string> filesBelow(const fs::path& root) {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (!entry.is_directory()) files.insert(entry.path().lexically_relative(root).string());
    return files;
}

inline constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256, 512};

// Where each installed file goes below the prefix; the package puts the same
// files below /usr.
inline std::set<std::string> expectedFiles() {
    std::set<std::string> files = {
        "bin/embossa",
        "share/applications/org.embossa.Embossa.desktop",
        "share/metainfo/org.embossa.Embossa.metainfo.xml",
        "share/mime/packages/org.embossa.Embossa.xml",
        "share/icons/hicolor/scalable/apps/org.embossa.Embossa.svg",
        "share/man/man1/embossa.1.gz",
        "share/bash-completion/completions/embossa",
    };
    for (int size : kIconSizes) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        files.insert("share/icons/hicolor/" + folder + "/apps/org.embossa.Embossa.png");
    }
    return files;
}

// The built tree installed once for a whole suite.
class InstalledTree : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder;
        const Outcome outcome =
            run({EMBOSSA_CMAKE, "--install", EMBOSSA_BUILD_DIR, "--prefix", prefix().string()});
        installLog_ = new std::string(std::to_string(outcome.status) + ": " + outcome.output);
        installed_ = outcome.status == 0;
    }
    static void TearDownTestSuite() {
        delete folder_;
        delete installLog_;
        folder_ = nullptr;
        installLog_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(installed_) << "cmake --install failed: " << *installLog_; }

    static fs::path prefix() { return folder_->path() / "prefix"; }
    static fs::path installed(const std::string& relative) { return prefix() / relative; }
    static fs::path scratch() { return folder_->path(); }

private:
    static inline TempFolder* folder_ = nullptr;
    static inline std::string* installLog_ = nullptr;
    static inline bool installed_ = false;
};

} // namespace install
