#include "resources/IconResources.h"
#include "window/MenuResources.h"

#include <gtest/gtest.h>
#include <string>

namespace kestrola::core {
namespace {

TEST(MenuResources, ClickMenuItemsAndIds) {
    const MenuResource* menu = LoadMenuResource(251);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->name, "click");
    const std::vector<std::pair<int, std::string_view>> expected = {
        {32851, "&Go to URL"},    {32852, "&Open File"}, {0, ""},
        {32854, "&Reply to"},     {32855, "&Send new"},  {0, ""},
        {32858, "&Copy\tCtrl+C"},
    };
    ASSERT_EQ(menu->items.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(menu->items[i].id, expected[i].first) << i;
        EXPECT_EQ(menu->items[i].text, expected[i].second) << i;
    }
    EXPECT_EQ(LoadMenuResource(0), nullptr);
    EXPECT_EQ(LoadMenuResource(252), nullptr);
}

TEST(IconResources, EveryNumberedImageHasANameCarryingItsNumber) {
    const int expected[] = {256, 262, 263, 264, 265, 266, 267, 268, 269, 270,
                            271, 272, 273, 274, 275, 276, 277, 278, 279, 281};
    const auto ids = ImageResourceIds();
    ASSERT_EQ(ids.size(), std::size(expected));
    for (std::size_t i = 0; i < ids.size(); ++i) {
        EXPECT_EQ(ids[i], expected[i]);
        const std::string name(ImageResourceName(ids[i]));
        EXPECT_EQ(name.rfind(std::to_string(ids[i]) + "-", 0), 0u) << name;
    }
    EXPECT_TRUE(ImageResourceName(280).empty());
    EXPECT_TRUE(ImageResourceName(0).empty());
}

} // namespace
} // namespace kestrola::core
