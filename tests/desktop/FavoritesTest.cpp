#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "desktop/Favorites.h"

namespace tx {
namespace {

using List = std::vector<std::string>;

List Numbered(int from, int to) {
    List l;
    for (int i = from; i <= to; ++i) l.push_back("/f" + std::to_string(i));
    return l;
}

struct AddCase {
    const char* name;
    List before;
    std::string added;
    bool atFront;
    List after;
};

class FavoriteAdds : public ::testing::TestWithParam<AddCase> {};

TEST_P(FavoriteAdds, AddingKeepsTheListShortAndFreeOfDuplicates) {
    const AddCase& c = GetParam();
    TFavoriteList list(10);
    for (const std::string& p : c.before) list.Add(p, false);
    ASSERT_EQ(list.Items(), c.before) << "set-up";
    list.Add(c.added, c.atFront);
    EXPECT_EQ(list.Items(), c.after) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, FavoriteAdds,
    ::testing::Values(AddCase{"into an empty list", {}, "/music", true, {"/music"}},
                      AddCase{"a new one goes first", {"/a", "/b"}, "/c", true, {"/c", "/a", "/b"}},
                      AddCase{"read from the store it goes last", {"/a", "/b"}, "/c", false, {"/a", "/b", "/c"}},
                      // The eleventh: the oldest (last) goes, the new one is first.
                      AddCase{"the eleventh drops the oldest", Numbered(1, 10), "/new", true,
                              List{"/new", "/f1", "/f2", "/f3", "/f4", "/f5", "/f6", "/f7", "/f8", "/f9"}},
                      AddCase{"the eleventh appended replaces the last", Numbered(1, 10), "/new", false,
                              List{"/f1", "/f2", "/f3", "/f4", "/f5", "/f6", "/f7", "/f8", "/f9", "/new"}},
                      // The same folder in another case moves to the front, once.
                      AddCase{"different case merges",
                              {"/a", "/Samples/Kicks", "/b"},
                              "/samples/KICKS",
                              true,
                              {"/samples/KICKS", "/a", "/b"}},
                      AddCase{"a duplicate of a full list drops nothing else", Numbered(1, 10), "/F7", true,
                              List{"/F7", "/f1", "/f2", "/f3", "/f4", "/f5", "/f6", "/f8", "/f9", "/f10"}},
                      AddCase{"a trailing slash is the same folder", {"/a", "/b"}, "/b/", true, {"/b", "/a"}},
                      AddCase{"trailing slashes are taken off", {}, "/x/y//", true, {"/x/y"}},
                      AddCase{"the root stays the root", {"/a"}, "/", true, {"/", "/a"}},
                      AddCase{"an empty path is ignored", {"/a"}, "", true, {"/a"}}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (char& ch : n)
            if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return n;
    });

TEST(FavoriteList, SettingTakesTheFirstTenAndMergesRepeats) {
    TFavoriteList list(10);
    list.Set(Numbered(1, 14));
    EXPECT_EQ(list.Items(), Numbered(1, 10));
    list.Set({"/a", "/B", "/b/", "/c"});
    EXPECT_EQ(list.Items(), (List{"/a", "/b", "/c"})) << "a folder named twice keeps its later place";
    list.Set({});
    EXPECT_EQ(list.Count(), 0);
}

TEST(FavoriteList, ChoosingMovesToTheFrontAndLookupIgnoresCase) {
    TFavoriteList list(10);
    list.Set({"/a", "/Drums", "/c"});
    EXPECT_EQ(list.IndexOf("/drums"), 1);
    EXPECT_EQ(list.IndexOf("/DRUMS/"), 1);
    EXPECT_EQ(list.IndexOf("/drum"), -1);
    EXPECT_TRUE(list.MoveToFront(2));
    EXPECT_EQ(list.Items(), (List{"/c", "/a", "/Drums"}));
    EXPECT_FALSE(list.MoveToFront(3));
    EXPECT_FALSE(list.MoveToFront(-1));
    EXPECT_EQ(list.Items(), (List{"/c", "/a", "/Drums"}));
}

TEST(FavoriteList, ASmallerLimitHoldsToo) {
    TFavoriteList list(3);
    for (const char* p : {"/1", "/2", "/3", "/4"}) list.Add(p, true);
    EXPECT_EQ(list.Items(), (List{"/4", "/3", "/2"}));
    TFavoriteList odd(0);
    EXPECT_EQ(odd.MaxCount(), 1) << "a list holds at least one";
}

}  // namespace
}  // namespace tx
