// SPDX-License-Identifier: GPL-3.0-or-later
// The udev rule template the package installs stays in step with the rule
// korvel-sweep --udev-rule writes, and grants nothing by itself.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "usb/udev_rule.h"

namespace korvel::usb {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> TemplateLines() {
    std::ifstream file(KORVEL_UDEV_TEMPLATE);
    std::ostringstream text;
    text << file.rdbuf();
    return Lines(text.str());
}

void ReplaceAll(std::string& text, const std::string& what, const std::string& with) {
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at)) {
        text.replace(at, what.size(), with);
        at += with.size();
    }
}

TEST(UdevRuleTemplate, GrantsNothingUntilTheUserWritesTheRule) {
    const std::vector<std::string> lines = TemplateLines();
    ASSERT_FALSE(lines.empty());
    for (const std::string& line : lines) {
        EXPECT_TRUE(line.empty() || line[0] == '#') << "active rule line: " << line;
    }
}

TEST(UdevRuleTemplate, ItsExampleLineIsTheRuleKorvelSweepWrites) {
    std::string example;
    for (const std::string& line : TemplateLines()) {
        if (line.find("SUBSYSTEM==") != std::string::npos) {
            example = line.substr(line.find("SUBSYSTEM=="));
        }
    }
    ASSERT_FALSE(example.empty());
    ReplaceAll(example, "vvvv", "1a2b");
    ReplaceAll(example, "pppp", "00c3");
    const std::vector<std::string> written = Lines(UdevRules({{0x1A2B, 0x00C3}}));
    ASSERT_FALSE(written.empty());
    EXPECT_EQ(example, written.back());
}

TEST(UdevRuleTemplate, TheWrittenRuleTakesTheTemplatesPlace) {
    // udev lets a file in /etc/udev/rules.d replace one of the same name in
    // /usr/lib/udev/rules.d: the rule the user writes must bear the
    // template's name, and the template must show where it goes.
    const std::string name = std::filesystem::path(KORVEL_UDEV_TEMPLATE).filename().string();
    EXPECT_EQ(std::filesystem::path(kUdevRulePath).filename().string(), name);
    EXPECT_EQ(std::filesystem::path(kUdevRulePath).parent_path().string(), "/etc/udev/rules.d");
    bool showsInstall = false;
    for (const std::string& line : TemplateLines()) {
        showsInstall =
            showsInstall || line.find(std::string("tee ") + kUdevRulePath) != std::string::npos;
    }
    EXPECT_TRUE(showsInstall);
}

}  // namespace
}  // namespace korvel::usb
