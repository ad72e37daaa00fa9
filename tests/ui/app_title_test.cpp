// SPDX-License-Identifier: GPL-3.0-or-later
// The application's title: "KORVEL" from the Windows executable's own name,
// and on other systems whatever the lower-case executable is called.
#include "app_title.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

TEST(ApplicationTitleForExecutable, WindowsTakesTheFileNameWithoutItsExtension) {
    EXPECT_EQ(TitleForExecutable("C:/Program Files/KORVEL/KORVEL.exe", true), "KORVEL");
    EXPECT_EQ(TitleForExecutable("D:/tools/KORVEL-test.exe", true), "KORVEL-test");
    // Only the last extension goes.
    EXPECT_EQ(TitleForExecutable("C:/bin/korvel.v2.exe", true), "korvel.v2");
}

TEST(ApplicationTitleForExecutable, ElsewhereTheTitleIsKorvelWhateverTheFileName) {
    EXPECT_EQ(TitleForExecutable("/usr/bin/korvel", false), "KORVEL");
    EXPECT_EQ(TitleForExecutable("/home/me/build/app/korvel", false), "KORVEL");
    EXPECT_EQ(TitleForExecutable("", false), "KORVEL");
}

}  // namespace
}  // namespace korvel
