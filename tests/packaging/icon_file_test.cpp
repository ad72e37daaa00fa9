// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows icon made from the PNG icons holds each of them unchanged, as a
// second reader (Qt's) sees it, and bad images are refused without an icon.
#include <gtest/gtest.h>

#include <QImage>
#include <QImageReader>
#include <QString>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "child_process.h"

namespace {

namespace fs = std::filesystem;
using korvel::testing::ChildOutput;
using korvel::testing::ChildProcess;
using korvel::testing::ChildResult;

const std::vector<int> kSizes{16, 24, 32, 48, 64, 128, 256};

std::string Png(int size) {
    return std::string(KORVEL_RES_DIR) + "/icon_" + std::to_string(size) + ".png";
}

class IconFile : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/korvel-ico-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    ChildResult MakeIcon(const std::string& out, const std::vector<std::string>& images) {
        std::vector<std::string> args{KORVEL_MAKE_ICO, out};
        args.insert(args.end(), images.begin(), images.end());
        ChildProcess script;
        if (!script.Start(KORVEL_PYTHON, args, ChildOutput::Capture, ChildOutput::Capture)) {
            return {};
        }
        return script.Collect(60000);
    }

    std::string File(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

TEST_F(IconFile, HoldsEveryIconSizeWithItsPixelsUnchanged) {
    std::vector<std::string> images;
    // Given largest first: the icon lists them from the smallest.
    for (auto it = kSizes.rbegin(); it != kSizes.rend(); ++it) {
        images.push_back(Png(*it));
    }
    const std::string icon = File("korvel.ico");
    const ChildResult made = MakeIcon(icon, images);
    ASSERT_TRUE(made.exited && made.exitCode == 0) << made.err;

    QImageReader reader(QString::fromStdString(icon), "ico");
    ASSERT_EQ(reader.imageCount(), static_cast<int>(kSizes.size()));
    for (size_t i = 0; i < kSizes.size(); ++i) {
        SCOPED_TRACE(kSizes[i]);
        ASSERT_TRUE(reader.jumpToImage(static_cast<int>(i)));
        const QImage fromIcon = reader.read().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const QImage original = QImage(QString::fromStdString(Png(kSizes[i])))
                                    .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        ASSERT_FALSE(original.isNull());
        ASSERT_EQ(fromIcon.size(), original.size());
        // Premultiplied: the colour under a fully transparent pixel does not count.
        EXPECT_EQ(fromIcon, original);
    }
}

TEST_F(IconFile, RefusesImagesItCannotTakeAndWritesNoIcon) {
    const std::string notPng = File("not.png");
    std::ofstream(notPng) << "GIF89a, not a PNG";
    const std::string cut = File("cut.png");
    {
        std::ifstream in(Png(32), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    }
    const std::string logo = std::string(KORVEL_RES_DIR) + "/logo.png";  // not square
    for (const std::vector<std::string>& images :
         std::vector<std::vector<std::string>>{{notPng}, {cut}, {logo}, {Png(32), Png(32)}, {}}) {
        SCOPED_TRACE(images.empty() ? std::string("no images") : images.back());
        const std::string icon = File("refused.ico");
        const ChildResult made = MakeIcon(icon, images);
        ASSERT_TRUE(made.exited);
        EXPECT_NE(made.exitCode, 0);
        EXPECT_NE(made.err.find("make_ico.py"), std::string::npos) << made.err;
        EXPECT_EQ(made.err.find("Traceback"), std::string::npos) << made.err;
        EXPECT_FALSE(fs::exists(icon));
    }
}

}  // namespace
