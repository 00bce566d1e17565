// The display list's chunks: every order of placements and removals gives
// the list a plain sorted vector gives, and copies taken along the way
// keep exactly what they held while the list they came from changes.

#include "swf/display.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

using namespace plovex::swf;

namespace {

std::vector<int> Depths(const DisplayList& list)
{
    std::vector<int> out;
    for (const DisplayPtr& o : list)
        out.push_back(o->depth);
    return out;
}

std::vector<int> DepthsBackwards(const DisplayList& list)
{
    std::vector<int> out;
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        out.insert(out.begin(), (*it)->depth);
    return out;
}

struct ListCase {
    const char* name;
    int steps;
    // The depth step `i` places at, and whether it removes instead.
    std::function<int(int i, std::mt19937& r)> depth;
    std::function<bool(int i, std::mt19937& r)> removes;
};

class DisplayListOps : public ::testing::TestWithParam<ListCase> {};

TEST_P(DisplayListOps, MatchesASortedVectorAndCopiesKeepTheirState)
{
    const ListCase& c = GetParam();
    std::mt19937 rng(7);
    DisplayList list;
    std::vector<int> expected;
    struct Saved {
        DisplayList list;
        std::vector<int> depths;
        std::vector<int> xs;   // each object's matrix.tx when saved
    };
    std::vector<Saved> saved;
    for (int i = 0; i < c.steps; ++i) {
        const int depth = c.depth(i, rng);
        auto e = std::lower_bound(expected.begin(), expected.end(), depth);
        const bool there = e != expected.end() && *e == depth;
        auto it = FindDepth(list, depth);
        ASSERT_EQ(it != list.end() && (*it)->depth == depth, there) << "step " << i;
        if (c.removes(i, rng)) {
            if (there) {
                list.erase(it);
                expected.erase(e);
            }
        } else if (there) {
            // A change to an object: the list writes through its iterator,
            // so copies holding the old one keep it.
            auto changed = std::make_shared<DisplayObject>(**it);
            changed->matrix.tx = i;
            *it = std::move(changed);
        } else {
            auto o = std::make_shared<DisplayObject>();
            o->depth = depth;
            o->matrix.tx = i;
            const auto at = list.insert(it, std::move(o));
            ASSERT_EQ((*at)->depth, depth);
            expected.insert(e, depth);
        }
        ASSERT_EQ(list.size(), expected.size());
        if (i % 97 == 0) {
            Saved s{list, expected, {}};
            for (const DisplayPtr& o : std::as_const(list))
                s.xs.push_back(int(o->matrix.tx));
            saved.push_back(std::move(s));
        }
    }
    EXPECT_EQ(Depths(list), expected);
    EXPECT_EQ(DepthsBackwards(list), expected);
    if (!expected.empty()) {
        EXPECT_EQ(list.front()->depth, expected.front());
        EXPECT_EQ(list.back()->depth, expected.back());
    }
    // No chunk grows past its bound.
    EXPECT_GE(list.chunkCount() * DisplayList::kChunkMax, list.size());
    for (const Saved& s : saved) {
        ASSERT_EQ(Depths(s.list), s.depths);
        std::vector<int> xs;
        for (const DisplayPtr& o : s.list)
            xs.push_back(int(o->matrix.tx));
        ASSERT_EQ(xs, s.xs);
    }
    // A copy shares every chunk until it writes; a write takes one chunk
    // of its own and leaves the list it came from as it was.
    DisplayList copy = list;
    EXPECT_EQ(copy.chunksSharedWith(list), list.chunkCount());
    if (!copy.empty()) {
        auto it = copy.begin();
        *it = std::make_shared<DisplayObject>(**it);
        (*it)->matrix.tx = -1;
        EXPECT_EQ(copy.chunksSharedWith(list), list.chunkCount() - 1);
        EXPECT_NE(list.front()->matrix.tx, -1);
    }
    // Emptied one by one from the front, through erase's returned places.
    DisplayList drained = list;
    size_t left = drained.size();
    for (auto it = drained.begin(); it != drained.end(); --left)
        it = drained.erase(it);
    EXPECT_EQ(left, 0u);
    EXPECT_TRUE(drained.empty());
    EXPECT_EQ(Depths(list), expected) << "the list a copy was drained from";
}

INSTANTIATE_TEST_SUITE_P(
    Orders, DisplayListOps,
    ::testing::Values(
        ListCase{"OnTop", 3000, [](int i, std::mt19937&) { return i + 1; }, [](int, std::mt19937&) { return false; }},
        ListCase{"Below", 3000, [](int i, std::mt19937&) { return 5000 - i; },
                 [](int, std::mt19937&) { return false; }},
        ListCase{"InTheMiddle", 3000, [](int i, std::mt19937&) { return (i % 2 ? 1 : -1) * i; },
                 [](int, std::mt19937&) { return false; }},
        ListCase{"RandomPlaceAndRemove", 6000, [](int, std::mt19937& r) { return int(r() % 2000); },
                 [](int, std::mt19937& r) { return r() % 3 == 0; }},
        // Grows to 2000, then removes nearly everything: chunks shrink and join.
        ListCase{"GrowThenEmpty", 8000, [](int i, std::mt19937&) { return i < 2000 ? i : (i * 7919) % 2000; },
                 [](int i, std::mt19937&) { return i >= 2000; }}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
