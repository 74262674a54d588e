// SPDX-License-Identifier: MIT
#include "core/Array.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Counts how elements travel when a DynArray moves them to new storage.
struct Tracked {
    static inline int copies = 0;
    static inline int moves = 0;
    int value = 0;
    Tracked() = default;
    Tracked& operator=(const Tracked& o) {
        value = o.value;
        ++copies;
        return *this;
    }
    Tracked& operator=(Tracked&& o) noexcept {
        value = o.value;
        ++moves;
        return *this;
    }
};

struct Padded {
    char tag;
    int32_t number;
};

// Fills any of the three kinds through the interface alone.
void fillSquares(Array<int16_t>& array, int32_t count) {
    for (int32_t i = 0; i < count; ++i) *array.get(i) = int16_t(i * i);
}

TEST(DynArrayGrowth, GrowsInWholeStepsAndKeepsElements) {
    DynArray<int32_t> a(0, 32);
    EXPECT_EQ(a.data(), nullptr);
    a.get(0);
    EXPECT_EQ(a.capacity, 32);
    EXPECT_EQ(a.blocks, 1);
    *a.get(5) = 55;
    a.get(64);
    EXPECT_EQ(a.capacity, 96);
    EXPECT_EQ(a.blocks, 3);
    EXPECT_EQ(a.size(), 96);
    EXPECT_EQ(*a.get(5), 55);

    DynArray<float> v(0, 1024);
    for (int32_t i = 0; i < 1024; ++i) *v.get(i) = float(i);
    EXPECT_EQ(v.capacity, 1024);
    const float* before = v.items;
    v.get(1023);
    EXPECT_EQ(v.items, before);
    v.get(1024);
    EXPECT_EQ(v.capacity, 2048);
    for (int32_t i = 0; i < 1024; ++i) ASSERT_EQ(v.items[i], float(i)) << i;
}

TEST(DynArrayGrowth, ReserveGrowsOnlyPastCapacityAndAdjustShrinks) {
    DynArray<int32_t> a(0, 16);
    a.reserve(32);
    const int32_t* before = a.items;
    a.reserve(32);
    a.reserve(1);
    EXPECT_EQ(a.items, before);
    EXPECT_EQ(a.capacity, 32);
    a.reserve(33);
    EXPECT_EQ(a.capacity, 48);
    EXPECT_EQ(a.blocks, 3);

    for (int32_t i = 0; i < 48; ++i) a.items[i] = i + 100;
    a.adjust(1);
    EXPECT_EQ(a.capacity, 16);
    for (int32_t i = 0; i < 16; ++i) ASSERT_EQ(a.items[i], i + 100) << i;
    a.adjust(0);
    EXPECT_EQ(a.data(), nullptr);
    EXPECT_EQ(a.capacity, 0);
}

TEST(DynArrayGrowth, ReleaseHandsOverStorage) {
    DynArray<int32_t> a(0, 8);
    *a.get(3) = 7;
    int32_t* handed = a.release();
    EXPECT_EQ(a.size(), 0);
    EXPECT_EQ(a.blocks, 0);
    EXPECT_EQ(a.data(), nullptr);
    EXPECT_EQ(handed[3], 7);
    delete[] handed; // a double free here would mean the array kept it
}

TEST(DynArrayGrowth, UnobtainableStorageIsLoggedAndOldStorageStays) {
    std::vector<std::u16string> lines;
    ScopedLogSink sink([&](const String& line) { lines.emplace_back(line.text()); });
    DynArray<char> a(0, 1 << 20);
    *a.get(0) = 'x';
    char* before = a.items;
    a.adjust(4096); // 2^32 elements: beyond the 32-bit index range
    EXPECT_EQ(a.items, before);
    EXPECT_EQ(a.blocks, 1);
    EXPECT_EQ(a.capacity, 1 << 20);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0],
              u"Error in DynArray<DATA>::adjust(): the allocated array pointer is NULL\n");
}

// get() hands out a place to write: when the index cannot be held, the
// answer is null (a caller stops there) rather than an address past the end.
TEST(DynArrayGrowth, IndicesThatCannotBeHeldGiveNullAndAreLogged) {
    std::vector<std::u16string> lines;
    ScopedLogSink sink([&](const String& line) { lines.emplace_back(line.text()); });
    DynArray<char> a(0, 1 << 20);
    *a.get(0) = 'x';
    char* before = a.items;
    // Growth refused: 2^31 elements would pass the 32-bit index range.
    EXPECT_EQ(a.get(INT32_MAX - 5), nullptr);
    // index + 1 would overflow.
    EXPECT_EQ(a.get(INT32_MAX), nullptr);
    EXPECT_EQ(a.get(-1), nullptr);
    EXPECT_EQ(a.items, before);
    EXPECT_EQ(a.capacity, 1 << 20);
    EXPECT_EQ(*a.get(0), 'x');
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::u16string& line) {
                                return line.find(u"Error in DynArray<DATA>::get()") == 0;
                            }),
              3);
}

class DynArrayElementMove : public ::testing::Test {
protected:
    void SetUp() override { Tracked::copies = Tracked::moves = 0; }
};

TEST_F(DynArrayElementMove, CopyOnAssignsEachElement) {
    DynArray<Tracked> a(1, 4);
    for (int32_t i = 0; i < 4; ++i) a.get(i)->value = i + 1;
    Tracked::copies = 0;
    a.get(4);
    EXPECT_EQ(Tracked::copies, 4);
    EXPECT_EQ(Tracked::moves, 0);
    for (int32_t i = 0; i < 4; ++i) EXPECT_EQ(a.items[i].value, i + 1);
}

TEST_F(DynArrayElementMove, CopyOffMovesWithoutAssignmentCopies) {
    DynArray<Tracked> a(0, 4);
    for (int32_t i = 0; i < 4; ++i) a.get(i)->value = i + 1;
    a.get(4);
    EXPECT_EQ(Tracked::copies, 0);
    EXPECT_EQ(a.items[3].value, 4);

    // Owning elements must survive the move exactly once (a raw copy would
    // leave two owners of each buffer).
    DynArray<String> texts(0, 2);
    *texts.get(0) = u"first";
    *texts.get(1) = u"second";
    texts.get(2);
    EXPECT_EQ(*texts.get(1), String(u"second"));

    // Raw bytes, padding included, arrive unchanged.
    DynArray<Padded> raw(0, 1);
    std::memset(static_cast<void*>(raw.get(0)), 0xAB, sizeof(Padded));
    unsigned char expected[sizeof(Padded)];
    std::memcpy(expected, raw.items, sizeof(Padded));
    raw.get(1);
    EXPECT_EQ(std::memcmp(expected, raw.items, sizeof(Padded)), 0);
}

TEST(FixedArrays, HeapAndStackThroughTheInterface) {
    ArrayHeap<int16_t> none(0);
    EXPECT_EQ(none.data(), nullptr);
    EXPECT_EQ(none.size(), 0);

    ArrayHeap<int16_t> heap(6);
    fillSquares(heap, 6);
    EXPECT_EQ(heap.items[5], 25);
    int16_t* handed = heap.release();
    EXPECT_EQ(heap.data(), nullptr);
    EXPECT_EQ(heap.size(), 0);
    delete[] handed;

    ArrayHeap<String> names(2);
    EXPECT_EQ(names.get(1)->length, 0);

    ArrayStack<int16_t, 12> stack;
    fillSquares(stack, 3);
    EXPECT_EQ(stack.size(), 12);
    EXPECT_EQ(stack.release(), stack.items);
    EXPECT_EQ(stack.items[2], 4);
    EXPECT_EQ((ArrayStack<int16_t, 6>().size()), 6);

    DynArray<int16_t> dyn(0, 512);
    fillSquares(dyn, 600);
    EXPECT_EQ(dyn.size(), 1024);
    EXPECT_EQ(dyn.items[599], int16_t(599 * 599));
}

} // namespace
