#include <windows.h>

#include <gtest/gtest.h>

// The tests run under Wine with the Japanese ANSI code page; several readers depend on it.
TEST(Toolchain, RunsWithTheJapaneseCodePage) { EXPECT_EQ(932u, GetACP()); }
