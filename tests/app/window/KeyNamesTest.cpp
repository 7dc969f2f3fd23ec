#include "window/KeyNames.h"

#include <gtest/gtest.h>

#include <windows.h>

TEST(KeyNames, NamedKeysLettersDigitsAndTheNumberPad) {
    EXPECT_EQ(keyName(0x41), "A");
    EXPECT_EQ(keyName(0x39), "9");
    EXPECT_EQ(keyName(0x60), "0") << "number pad 0";
    EXPECT_EQ(keyName(0x69), "9") << "number pad 9";
    EXPECT_EQ(keyName(0x5B), "Win");
    EXPECT_EQ(keyName(0x5C), "Win");
    EXPECT_EQ(keyName(VK_SPACE), "Space");
    EXPECT_EQ(keyName(VK_F1), "F1");
    EXPECT_EQ(keyName(VK_F24), "F24");
    EXPECT_EQ(keyName(VK_OEM_CLEAR), "OEM_CLEAR");
}
