#include "resource_ids.h"
#include "tray/tray_window.h"

#include <gtest/gtest.h>

namespace {

TEST(MenuCommandFromText, NamesTheFourItems)
{
    EXPECT_EQ(menuCommandFromText("View log"), IDM_VIEW_LOG);
    EXPECT_EQ(menuCommandFromText("Set ADB Path"), IDM_SET_ADB_PATH);
    EXPECT_EQ(menuCommandFromText("About"), IDM_ABOUT);
    EXPECT_EQ(menuCommandFromText("Exit"), IDM_EXIT);
}

TEST(MenuCommandFromText, ForgivesCaseAndBlanksButNothingElse)
{
    EXPECT_EQ(menuCommandFromText("  exit\r"), IDM_EXIT);
    EXPECT_EQ(menuCommandFromText("\tset adb path "), IDM_SET_ADB_PATH);
    for (const char* text : {"", "   ", "Exi", "Exit now", "View  log", "quit", "About\x01"})
        EXPECT_EQ(menuCommandFromText(text), 0) << text;
}

}  // namespace
