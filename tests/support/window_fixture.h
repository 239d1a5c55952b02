#pragma once
// A whole program and one of its windows, for widget tests.

#include <QLatin1String>
#include <gtest/gtest.h>

#include "tests/support/test_program.h"

namespace rzl::test {

template <typename Window>
struct WindowFixture : ::testing::Test {
    template <typename W = QWidget>
    W* find(const char* name) {
        W* widget = window.template findChild<W*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    TestProgram t;
    Window window{t.program};
};

}  // namespace rzl::test
