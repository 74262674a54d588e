// SPDX-License-Identifier: MIT
// `cpack -G DEB` from the built tree: the package is unpacked with dpkg-deb
// into a folder of its own, its control fields and files are checked, and the
// program in it converts the sample image as the built one does.
#include "install/InstallTree.h"

namespace {

using namespace install;

// The package names a Depends field lists, alternatives included.
std::set<std::string> dependencyNames(const std::string& field) {
    std::set<std::string> names;
    std::string clause;
    std::istringstream in(field);
    while (std::getline(in, clause, ',')) {
        std::istringstream alternatives(clause);
        for (std::string alternative; std::getline(alternatives, alternative, '|');) {
            std::istringstream words(alternative);
            std::string name;
            words >> name;
            if (!name.empty()) names.insert(name);
        }
    }
    return names;
}

// The packages that hold a shared library of this machine's architecture
// named `soname`.
std::set<std::string> owners(const std::string& soname, const std::string& architecture) {
    std::set<std::string> packages;
    const Outcome found = run({"dpkg-query", "-S", "*/" + soname});
    for (const std::string& line : lines(found.output)) {
        const std::string package = line.substr(0, line.find(": "));
        const std::string suffix = ":" + architecture;
        if (package.size() > suffix.size() &&
            package.compare(package.size() - suffix.size(), suffix.size(), suffix) == 0)
            packages.insert(package.substr(0, package.size() - suffix.size()));
    }
    return packages;
}

std::vector<std::string> neededLibraries(const fs::path& program, std::string& dynamicSection) {
    const Outcome dump = run({"objdump", "-p", program.string()});
    dynamicSection = dump.output;
    std::vector<std::string> needed;
    for (const std::string& line : lines(dump.output)) {
        std::istringstream words(line);
        std::string tag, value;
        if (words >> tag >> value && tag == "NEEDED") needed.push_back(value);
    }
    return needed;
}

std::string field(const fs::path& package, const std::string& name) {
    const Outcome value = run({"dpkg-deb", "--field", package.string(), name});
    return value.output.empty() ? "" : value.output.substr(0, value.output.size() - 1);
}

TEST(DebPackageTest, HoldsTheProgramItsFilesAndTheLibrariesItNeeds) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "a package of the sanitizer build would depend on the sanitizer runtimes";
#endif
    TempFolder folder;
    const Outcome made =
        run({EMBOSSA_CPACK, "-G", "DEB", "--config", EMBOSSA_BUILD_DIR "/CPackConfig.cmake", "-B",
             (folder / "out").string()});
    ASSERT_EQ(made.status, 0) << made.output;
    const std::string architecture = lines(run({"dpkg", "--print-architecture"}).output).at(0);
    std::vector<fs::path> packages;
    for (const auto& entry : fs::directory_iterator(folder / "out"))
        if (entry.path().extension() == ".deb") packages.push_back(entry.path());
    ASSERT_EQ(packages.size(), 1u) << made.output;
    const fs::path deb = packages[0];
    EXPECT_EQ(deb.filename().string(), "embossa_" EMBOSSA_VERSION "_" + architecture + ".deb");

    // Control fields.
    EXPECT_EQ(field(deb, "Package"), "embossa");
    EXPECT_EQ(field(deb, "Version"), EMBOSSA_VERSION);
    EXPECT_EQ(field(deb, "Architecture"), architecture);
    EXPECT_EQ(field(deb, "Section"), "graphics");
    EXPECT_NE(field(deb, "Maintainer").find('@'), std::string::npos);
    EXPECT_EQ(field(deb, "Description").substr(0, field(deb, "Description").find('\n')),
              EMBOSSA_SUMMARY);

    // Unpacked where nothing else is, the files are the installed ones below /usr.
    const fs::path root = folder / "root";
    const Outcome unpacked = run({"dpkg-deb", "-x", deb.string(), root.string()});
    ASSERT_EQ(unpacked.status, 0) << unpacked.output;
    std::set<std::string> expected;
    for (const std::string& file : expectedFiles()) expected.insert("usr/" + file);
    EXPECT_EQ(filesBelow(root), expected);

    // Every library the program links comes with a dependency on its package,
    // besides the OpenGL and EGL that are opened at run time.
    const fs::path program = root / "usr/bin/embossa";
    std::string dynamicSection;
    const std::vector<std::string> needed = neededLibraries(program, dynamicSection);
    EXPECT_FALSE(needed.empty()) << dynamicSection;
    const std::set<std::string> depends = dependencyNames(field(deb, "Depends"));
    for (const std::string& library : needed) {
        const std::set<std::string> holders = owners(library, architecture);
        EXPECT_FALSE(holders.empty()) << "no package holds " << library;
        bool listed = false;
        for (const std::string& holder : holders) listed = listed || depends.count(holder);
        EXPECT_TRUE(listed) << library << " is in none of Depends: " << field(deb, "Depends");
    }
    EXPECT_TRUE(depends.count("libgl1") && depends.count("libegl1")) << field(deb, "Depends");
    // Nothing points back into the build tree, and no debugging data ships.
    EXPECT_EQ(dynamicSection.find("RPATH"), std::string::npos) << dynamicSection;
    EXPECT_EQ(dynamicSection.find("RUNPATH"), std::string::npos) << dynamicSection;
    EXPECT_EQ(run({"objdump", "-h", program.string()}).output.find(".debug_info"),
              std::string::npos);

    // The unpacked program runs, and converts the sample as the built one does.
    const Outcome version = run({program.string(), "--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output, "embossa " EMBOSSA_VERSION "\n");
    const std::string sample = EMBOSSA_SOURCE_DIR "/examples/rings.png";
    const Outcome packaged =
        run({program.string(), "convert", sample, "-o", (folder / "packaged.obj").string()});
    ASSERT_EQ(packaged.status, 0) << packaged.output;
    const Outcome built =
        run({EMBOSSA_PROGRAM, "convert", sample, "-o", (folder / "built.obj").string()});
    ASSERT_EQ(built.status, 0) << built.output;
    const std::string mesh = TempFolder::readBytes(folder / "packaged.obj");
    EXPECT_GT(mesh.size(), 100000u);
    EXPECT_TRUE(mesh == TempFolder::readBytes(folder / "built.obj"))
        << "the packaged program's OBJ differs from the built program's";
}

} // namespace
