// SPDX-License-Identifier: MIT
#include "core/Pack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/File.h"
#include "core/FileArray.h"
#include "core/Log.h"
#include "core/PackWriter.h"
#include "support/TempFolder.h"
#include "sys/Unicode.h"

namespace {

std::string utf8(const String& s) {
    return sys::utf16ToUtf8({s.text(), size_t(s.length)});
}

// Archive bytes written by hand in plain form, so that tests can say exactly
// which field lies; stored() applies the substitution as a writer would.
struct Plain {
    std::string bytes;
    Plain& u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes += char(uint8_t(v >> (8 * i)));
        return *this;
    }
    Plain& raw(const std::string& s) {
        bytes += s;
        return *this;
    }
    Plain& header(uint32_t count) { return raw(std::string("_PACK_\0", 7)).u32(count); }
    Plain& entry(const std::string& name, const std::string& data) {
        return u32(uint32_t(name.size())).raw(name).u32(uint32_t(data.size())).raw(data);
    }
};

// Records any read or seek that reaches past the end: a reader that trusts a
// length from the file asks for bytes the file does not have.
struct WatchedArray : FileArray {
    bool overreached = false;
    int32_t read(void* target, int32_t count) override {
        overreached |= int64_t(position) + count > int64_t(used);
        return FileArray::read(target, count);
    }
    int32_t seek(int32_t offset, int32_t origin) override {
        overreached |= origin == 1 && int64_t(position) + offset > int64_t(used);
        return FileArray::seek(offset, origin);
    }
};

std::unique_ptr<WatchedArray> stored(const std::string& plain) {
    auto file = std::make_unique<WatchedArray>();
    std::string bytes = plain;
    Coding::encode(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size());
    file->write(bytes.data(), int32_t(bytes.size()));
    file->seek(0, 0);
    return file;
}

std::string readAll(FileInterface& file, int32_t chunk = 7) {
    std::string out;
    std::vector<char> buffer(static_cast<size_t>(chunk));
    for (int32_t n; (n = file.read(buffer.data(), chunk)) > 0;)
        out.append(buffer.data(), size_t(n));
    return out;
}

class PackTest : public ::testing::Test {
protected:
    PackTest() : sink_([this](const String& line) { lines.push_back(utf8(line)); }) {}

    int countLines(const std::string& prefix) const {
        return int(std::count_if(lines.begin(), lines.end(),
                                 [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
    }

    std::vector<std::string> lines;

private:
    ScopedLogSink sink_;
};

TEST(Coding, TableIsAFixedPermutationAndInverseUndoesIt) {
    bool seen[256] = {};
    for (int b = 0; b < 256; ++b) {
        EXPECT_FALSE(seen[Coding::table[b]]) << b;
        seen[Coding::table[b]] = true;
        EXPECT_EQ(Coding::inverse[Coding::table[b]], b);
    }
    // The table is the archive key: these bytes pin it, so an accidental
    // change (which would orphan every archive written so far) fails here.
    uint8_t magic[7] = {'_', 'P', 'A', 'C', 'K', '_', 0};
    Coding::encode(magic, 7);
    const uint8_t expected[7] = {0x37, 0xE9, 0xA3, 0xD5, 0x97, 0x37, 0x6F};
    EXPECT_EQ(std::memcmp(magic, expected, 7), 0);
}

TEST_F(PackTest, WriterAndReaderRoundTripEveryEntry) {
    std::string binary;
    for (int i = 0; i < 70000; ++i) binary += char(i * 31 + (i >> 8)); // longer than one chunk
    struct Item {
        String name;
        std::string data;
    };
    const std::vector<Item> items = {
        {String(u"dir/binary.bin"), binary},
        {String(u"empty"), ""},
        {String(u"caf\u00E9 \u20AC.txt"),
         "text with spaces"}, // é and € are both single bytes in Windows-1252
    };

    auto target = std::make_unique<FileArray>();
    PackWriter writer(*target);
    for (const Item& item : items) {
        if (item.data.size() > 1000) {
            FileArray source;
            source.write(item.data.data(), int32_t(item.data.size()));
            ASSERT_TRUE(writer.add(item.name, source)) << utf8(writer.problem);
        } else {
            ASSERT_TRUE(writer.add(item.name, item.data.data(), int32_t(item.data.size())));
        }
    }
    ASSERT_TRUE(writer.finish());
    // Nothing of the plain text survives in the stored bytes.
    std::string raw(reinterpret_cast<char*>(target->buffer), target->used);
    EXPECT_EQ(raw.find("_PACK_"), std::string::npos);
    EXPECT_EQ(raw.find("text with spaces"), std::string::npos);
    EXPECT_EQ(target->tell(), int32_t(target->used));

    Pack pack(target.release());
    ASSERT_TRUE(pack.valid) << utf8(pack.problem);
    ASSERT_EQ(pack.directory->entries.size(), items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_TRUE(pack.directory->entries[i].name == items[i].name) << i;
        Pack::File entry(&pack, items[i].name);
        ASSERT_TRUE(entry.isOpen) << i;
        EXPECT_EQ(entry.size(), int32_t(items[i].data.size()));
        // A size-0 entry is at its end before any read.
        EXPECT_EQ(entry.eof(), items[i].data.empty());
        EXPECT_EQ(readAll(entry, 4096), items[i].data) << i;
        EXPECT_TRUE(entry.eof());
    }
}

TEST_F(PackTest, EmptyArchiveIsValidAndMissingEntriesGiveClosedStreams) {
    auto target = std::make_unique<FileArray>();
    PackWriter writer(*target);
    ASSERT_TRUE(writer.finish());
    EXPECT_EQ(target->used, 11u);
    Pack pack(target.release());
    ASSERT_TRUE(pack.valid);
    EXPECT_TRUE(pack.directory->entries.empty());

    Pack::File missing(&pack, String(u"anything"));
    char byte = 'x';
    EXPECT_FALSE(missing.isOpen);
    EXPECT_EQ(missing.size(), 0);
    EXPECT_EQ(missing.read(&byte, 1), 0);
    EXPECT_EQ(missing.seek(3, 0), 0);
    EXPECT_EQ(missing.tell(), 0);
    EXPECT_TRUE(missing.eof());
}

TEST_F(PackTest, EntryStreamStaysInsideItsEntry) {
    // Entry "a" has its data at offset 100: 11 header bytes, 4 + 81 name, 4 size.
    const std::string name(81, 'a');
    std::string data;
    for (int i = 0; i < 50; ++i) data += char('0' + i % 10);
    auto archive = stored(Plain().header(2).entry(name, data).entry("b", "NEXT").bytes);
    Pack pack(archive.release());
    ASSERT_TRUE(pack.valid);
    ASSERT_EQ(pack.directory->entries[0].offset, 100u);

    Pack::File entry(&pack, String(std::u16string(name.begin(), name.end()).c_str()));
    ASSERT_TRUE(entry.isOpen);
    EXPECT_EQ(entry.seek(10, 0), 10);
    EXPECT_EQ(pack.archive->tell(), 110);
    EXPECT_EQ(entry.tell(), 10);
    EXPECT_EQ(entry.seek(5, 1), 15);
    EXPECT_EQ(entry.seek(-100, 1), 0);
    EXPECT_EQ(entry.seek(1000, 0), 50);
    EXPECT_EQ(entry.seek(0, 2), 49); // counts from the end as FileArray does
    EXPECT_EQ(entry.seek(3, 7), 0);

    // A count past the entry stops at its end; the next entry's bytes stay out.
    entry.seek(45, 0);
    char buffer[64] = {};
    EXPECT_EQ(entry.read(buffer, 64), 5);
    EXPECT_EQ(std::string(buffer, 5), "56789");
    EXPECT_TRUE(entry.eof());
    EXPECT_EQ(entry.read(buffer, 64), 0);
    EXPECT_EQ(entry.read(nullptr, 4), -1);

    EXPECT_EQ(entry.write("xx", 2), -1);
    EXPECT_EQ(entry.size(), 50);
    EXPECT_EQ(entry.memory(), nullptr);

    // Two streams on one archive keep their own positions.
    entry.seek(0, 0);
    Pack::File other(&pack, String(u"b"));
    EXPECT_EQ(other.read(buffer, 2), 2);
    EXPECT_EQ(entry.read(buffer + 2, 3), 3);
    EXPECT_EQ(other.read(buffer + 5, 2), 2);
    EXPECT_EQ(std::string(buffer, 7), "NE012XT");
}

// The writer refuses duplicates, but a reader must cope with other writers.
TEST_F(PackTest, DuplicateNamesResolveToTheFirstEntry) {
    Pack pack(stored(Plain().header(2).entry("x", "first").entry("x", "second").bytes).release());
    ASSERT_TRUE(pack.valid);
    Pack::File entry(&pack, String(u"x"));
    EXPECT_EQ(readAll(entry), "first");
}

TEST_F(PackTest, DirectoryIsParsedOncePerPathAndRefusalsAreNotCached) {
    const std::string good = Plain().header(1).entry("e", "data").bytes;
    // The cache outlives the test, so a repeated run needs paths of its own.
    static int run = 0;
    const std::string name = "one" + std::to_string(++run) + ".pack";
    const std::u16string wideName(name.begin(), name.end());
    const String key((u"/cache-test/" + wideName).c_str());
    const std::string parsedKey = "Pack: reading the directory of /cache-test/" + name;

    {
        Pack bad(stored(Plain().header(1).entry("e", "data").bytes.substr(0, 20)).release(), key);
        EXPECT_FALSE(bad.valid);
    }
    Pack first(stored(good).release(), key);
    Pack second(stored(good).release(), key);
    EXPECT_TRUE(first.valid);
    EXPECT_TRUE(second.valid);
    // One parse for the refused archive, one for the good one, none for the second open.
    EXPECT_EQ(countLines(parsedKey), 2);
    EXPECT_EQ(first.directory, second.directory);

    // Another spelling of the path is another key.
    Pack relative(stored(good).release(), String(wideName.c_str()));
    EXPECT_EQ(countLines("Pack: reading the directory of " + name), 1);

    // An archive replaced by one of another size is read again, and streams
    // on the old directory keep working.
    Pack::File old(&first, String(u"e"));
    Pack replaced(stored(Plain().header(1).entry("e", "longer data").bytes).release(), key);
    EXPECT_EQ(countLines(parsedKey), 3);
    Pack::File fresh(&replaced, String(u"e"));
    EXPECT_EQ(readAll(fresh), "longer data");
    EXPECT_EQ(readAll(old), "data");
}

struct Hostile {
    const char* what;
    std::string plain;
};

TEST_F(PackTest, HostileDirectoriesAreRefusedWithoutReadingOrAllocatingPastTheFile) {
    const std::string valid = Plain().header(2).entry("one", "1111").entry("two", "22").bytes;
    const Hostile cases[] = {
        {"empty file", ""},
        {"short magic", "_PAC"},
        {"no count", std::string("_PACK_\0", 7)},
        {"truncated in a name", valid.substr(0, 17)},
        {"truncated in data", valid.substr(0, valid.size() - 1)},
        {"entry count 2^31", Plain().header(0x80000000u).entry("a", "b").bytes},
        {"entry count beyond entries", Plain().header(3).entry("a", "b").bytes},
        {"name length past end", Plain().header(1).u32(1000).raw("abcdefgh").bytes},
        {"name length 2^31", Plain().header(1).u32(0x80000000u).raw("abcdefgh").bytes},
        {"name length 2^32-1", Plain().header(1).u32(0xFFFFFFFFu).raw("abcd").u32(0).bytes},
        {"name leaves no room for its size", Plain().header(1).u32(4).raw("abcd").bytes},
        {"data size past end", Plain().header(1).u32(1).raw("a").u32(5).raw("abcd").bytes},
        {"data size 2^32-1", Plain().header(1).u32(1).raw("a").u32(0xFFFFFFFFu).raw("ab").bytes},
    };
    for (const Hostile& c : cases) {
        SCOPED_TRACE(c.what);
        auto archive = stored(c.plain);
        WatchedArray& watched = *archive;
        Pack pack(archive.release());
        EXPECT_FALSE(pack.valid);
        EXPECT_FALSE(watched.overreached);
        EXPECT_GT(pack.problem.length, 0);
        EXPECT_EQ(pack.find(String(u"a")), nullptr);
        Pack::File entry(&pack, String(u"a"));
        EXPECT_FALSE(entry.isOpen);
    }
}

TEST_F(PackTest, WrongMagicIsLoggedAndGivesAClosedStreamThroughOpen) {
    TempFolder temp;
    const std::string path = (temp / "wrong.pack").string();
    TempFolder::writeBytes(path,
                           std::string("_PACK!\0\0\0\0\0", 11)); // plain bytes: no substitution
    FileInterface* stream =
        FileInterface::open(String(sys::utf8ToUtf16(path + ":e").c_str()), 0, 1, 1);
    EXPECT_FALSE(stream->isOpen);
    stream->close();
    EXPECT_EQ(countLines("This is no valid .pack File!"), 1);
}

TEST_F(PackTest, OpenReadsEntriesOfArchivesOnDisk) {
    TempFolder temp;
    const std::string path = (temp / "assets.pack").string();
    {
        ::File target(String(sys::utf8ToUtf16(path).c_str()), 1, 1, 0);
        PackWriter writer(target);
        ASSERT_TRUE(writer.add(String(u"img/a.png"), "PNGDATA", 7));
        ASSERT_TRUE(writer.add(String(u"b"), "bee", 3));
        ASSERT_TRUE(writer.finish());
    }
    for (int pass = 0; pass < 2; ++pass) {
        FileInterface* stream =
            FileInterface::open(String(sys::utf8ToUtf16(path + ":img/a.png").c_str()), 0, 1, 1);
        ASSERT_TRUE(stream->isOpen);
        EXPECT_EQ(readAll(*stream), "PNGDATA");
        stream->close(); // destroys the entry stream and the Pack it owns (ASan checks)
    }
    EXPECT_EQ(countLines("Pack: reading the directory of "), 1);

    // Reading needs no write access, and a create flag does not wipe the archive.
    FileInterface* stream =
        FileInterface::open(String(sys::utf8ToUtf16(path + ":b").c_str()), 1, 1, 0);
    ASSERT_TRUE(stream->isOpen);
    EXPECT_EQ(readAll(*stream), "bee");
    stream->close();

    Pack notPack(String(sys::utf8ToUtf16((temp / "assets.zip").string()).c_str()), 0);
    EXPECT_FALSE(notPack.valid);
}

TEST(PackWriter, RefusesNamesAReaderCouldNotFind) {
    struct Case {
        const char* what;
        String first;
        String second;
    };
    String withNul;
    withNul.set(u"a\0b", 3); // would read back as "a"
    const Case cases[] = {
        {"with a NUL", String(u"ok"), withNul},
        {"outside Windows-1252", String(u"ok"), String(u"\u4E2D.txt")},
        {"duplicate", String(u"same"), String(u"same")},
        {"empty", String(u"ok"), String(u"")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FileArray target;
        PackWriter writer(target);
        EXPECT_TRUE(writer.add(c.first, "1", 1));
        EXPECT_FALSE(writer.add(c.second, "2", 1));
        EXPECT_GT(writer.problem.length, 0);
        EXPECT_FALSE(writer.finish());
    }
}

} // namespace
