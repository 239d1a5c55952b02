#include <gtest/gtest.h>

#include "ui/screen.h"

TEST(ScreenTest, HiddenLogKeepsOnlyTheNewestLines) {
    rzl::Screen screen;
    const int total = rzl::Screen::kMemoLines + 25;
    for (int i = 0; i < total; ++i) screen.log(QString::number(i));
    ASSERT_EQ(screen.main.memo1.size(), rzl::Screen::kMemoLines);
    EXPECT_EQ(screen.main.memo1.first(), QString::number(25));
    EXPECT_EQ(screen.main.memo1.last(), QString::number(total - 1));
}
