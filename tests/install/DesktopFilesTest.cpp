// SPDX-License-Identifier: MIT
// The installed desktop files: where they land, what the freedesktop.org
// validators say of them, and whether they name what is really installed.
#include <fstream>
#include <map>

#include "install/InstallTree.h"

namespace {

using namespace install;

// The keys of a desktop entry's [Desktop Entry] group.
std::map<std::string, std::string> desktopKeys(const fs::path& file) {
    std::map<std::string, std::string> keys;
    bool inGroup = false;
    for (const std::string& line : lines(TempFolder::readBytes(file))) {
        if (!line.empty() && line[0] == '[') {
            inGroup = line == "[Desktop Entry]";
        } else if (inGroup && line.find('=') != std::string::npos) {
            const size_t equals = line.find('=');
            keys[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return keys;
}

std::vector<std::string> splitList(const std::string& value) {
    std::vector<std::string> items;
    std::string item;
    for (char c : value) {
        if (c != ';') {
            item += c;
        } else if (!item.empty()) {
            items.push_back(item);
            item.clear();
        }
    }
    if (!item.empty()) items.push_back(item);
    return items;
}

// The text of the first `<tag ...>` element's `attribute`, or of its body
// when no attribute is asked for.
std::string xmlValue(const std::string& xml, const std::string& tag,
                     const std::string& attribute = "") {
    size_t open = xml.find("<" + tag);
    while (open != std::string::npos && xml[open + 1 + tag.size()] != ' ' &&
           xml[open + 1 + tag.size()] != '>')
        open = xml.find("<" + tag, open + 1);
    if (open == std::string::npos) return {};
    const size_t end = xml.find('>', open);
    if (attribute.empty()) {
        const size_t close = xml.find("</" + tag + ">", end);
        return close == std::string::npos ? "" : xml.substr(end + 1, close - end - 1);
    }
    const std::string key = " " + attribute + "=\"";
    const size_t at = xml.find(key, open);
    if (at == std::string::npos || at > end) return {};
    const size_t from = at + key.size();
    return xml.substr(from, xml.find('"', from) - from);
}

uint32_t bigEndian32(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) value = value << 8 | uint8_t(bytes[at + i]);
    return value;
}

class DesktopFilesTest : public InstalledTree {
protected:
    static fs::path entry() { return installed("share/applications/org.embossa.Embossa.desktop"); }
};

TEST_F(DesktopFilesTest, InstallsTheProgramAndEachFileInItsPlace) {
    EXPECT_EQ(filesBelow(prefix()), expectedFiles());

    const Outcome version = run({installed("bin/embossa").string(), "--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output, "embossa " EMBOSSA_VERSION "\n");

    // Each bitmap icon is a PNG drawn at the size its folder promises.
    for (int size : kIconSizes) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        const std::string png = TempFolder::readBytes(
            installed("share/icons/hicolor/" + folder + "/apps/org.embossa.Embossa.png"));
        ASSERT_GE(png.size(), 24u) << folder;
        EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n") << folder;
        EXPECT_EQ(png.substr(12, 4), "IHDR") << folder;
        EXPECT_EQ(bigEndian32(png, 16), uint32_t(size)) << folder;
        EXPECT_EQ(bigEndian32(png, 20), uint32_t(size)) << folder;
    }
}

TEST_F(DesktopFilesTest, DesktopEntryPassesTheValidatorAndNamesInstalledFiles) {
    const Outcome check = run({"desktop-file-validate", entry().string()});
    EXPECT_EQ(check.status, 0);
    EXPECT_EQ(check.output, "") << "desktop-file-validate found hints or errors";

    auto keys = desktopKeys(entry());
    EXPECT_EQ(keys["Type"], "Application");
    EXPECT_EQ(keys["Name"], "Embossa");
    // Launchers hand over one local file, as `embossa IMAGE` takes it.
    EXPECT_EQ(keys["Exec"], "embossa %f");
    EXPECT_EQ(keys["TryExec"], "embossa");
    EXPECT_TRUE(fs::exists(installed("bin/embossa")));
    EXPECT_TRUE(fs::exists(installed("share/icons/hicolor/scalable/apps/" + keys["Icon"] + ".svg")))
        << "Icon=" << keys["Icon"];
}

TEST_F(DesktopFilesTest, MetainfoPassesTheValidatorAndMatchesTheProgram) {
    const fs::path metainfo = installed("share/metainfo/org.embossa.Embossa.metainfo.xml");
    const Outcome check = run({"appstreamcli", "validate", "--no-net", metainfo.string()});
    EXPECT_EQ(check.status, 0) << check.output;

    const std::string xml = TempFolder::readBytes(metainfo);
    EXPECT_EQ(xmlValue(xml, "id"), "org.embossa.Embossa");
    EXPECT_EQ(xmlValue(xml, "launchable"), entry().filename().string());
    EXPECT_EQ(xmlValue(xml, "binary"), "embossa");
    // Releases are listed newest first; the newest is the one installed.
    EXPECT_EQ(xmlValue(xml, "release", "version"), EMBOSSA_VERSION)
        << "add a <release> for this version to the metainfo";
}

// The system's MIME database with our package's types added, read from the
// files update-mime-database writes.
class MimeTypesTest : public DesktopFilesTest {
protected:
    void SetUp() override {
        DesktopFilesTest::SetUp();
        const fs::path ours = scratch() / "mime";
        fs::create_directories(ours / "packages");
        fs::copy_file(installed("share/mime/packages/org.embossa.Embossa.xml"),
                      ours / "packages/org.embossa.Embossa.xml",
                      fs::copy_options::overwrite_existing);
        // The folder is not where desktops look, which the tool remarks on
        // unless it is on XDG_DATA_DIRS.
        build_ = shell("XDG_DATA_DIRS=" + quoted(scratch().string()) + " update-mime-database " +
                       quoted(ours.string()));
        for (const fs::path& folder : {fs::path("/usr/share/mime"), ours}) {
            for (const std::string& line : lines(TempFolder::readBytes(folder / "types")))
                types_.insert(line);
            for (const std::string& line : lines(TempFolder::readBytes(folder / "aliases")))
                aliases_[line.substr(0, line.find(' '))] = line.substr(line.find(' ') + 1);
            readGlobs(folder / "globs2");
        }
    }

    // The type a desktop gives a file named "x.EXTENSION".
    std::string typeOf(const std::string& extension) const {
        const auto found = globs_.find("*." + extension);
        if (found == globs_.end()) return {};
        const auto alias = aliases_.find(found->second.second);
        return alias == aliases_.end() ? found->second.second : alias->second;
    }

    Outcome build_;
    std::set<std::string> types_;
    std::map<std::string, std::string> aliases_;
    std::map<std::string, std::pair<int, std::string>> globs_; // pattern -> weight, type

private:
    // Lines are "weight:type:pattern[:flags]"; the heaviest pattern wins.
    void readGlobs(const fs::path& file) {
        for (const std::string& line : lines(TempFolder::readBytes(file))) {
            if (line.empty() || line[0] == '#') continue;
            const size_t first = line.find(':');
            const size_t second = line.find(':', first + 1);
            const size_t third = line.find(':', second + 1);
            const int weight = std::stoi(line.substr(0, first));
            const std::string type = line.substr(first + 1, second - first - 1);
            const std::string pattern = line.substr(second + 1, third - second - 1);
            auto& slot = globs_[pattern];
            if (slot.second.empty() || weight > slot.first) slot = {weight, type};
        }
    }
};

TEST_F(MimeTypesTest, OurTypesAreReadWithoutComplaint) {
    EXPECT_EQ(build_.status, 0);
    EXPECT_EQ(build_.output, "");
    EXPECT_EQ(typeOf("hdr"), "image/vnd.radiance");
    EXPECT_EQ(typeOf("pfm"), "image/x-portable-floatmap");
}

TEST_F(MimeTypesTest, EntryOffersToOpenEveryImageTheProgramDecodes) {
    const std::vector<std::string> offered = splitList(desktopKeys(entry())["MimeType"]);
    const std::set<std::string> offeredSet(offered.begin(), offered.end());

    // Names a file manager knows, in their standard spelling, not an alias.
    for (const std::string& type : offered) {
        EXPECT_TRUE(types_.count(type)) << type << " is no type the MIME database knows";
        EXPECT_FALSE(aliases_.count(type)) << type << " is an alias of " << aliases_[type];
    }
    // The extensions the open dialog lists, and .pnm, whose P3 and P6 files
    // are PPM.
    for (const char* extension :
         {"png", "jpg", "jpeg", "bmp", "dib", "tga", "dds", "hdr", "pfm", "ppm", "pnm", "pcx"}) {
        const std::string type = typeOf(extension);
        EXPECT_TRUE(offeredSet.count(type))
            << "*." << extension << " is " << (type.empty() ? "unknown" : type)
            << ", which MimeType= does not list";
    }
}

} // namespace
