#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "export/atomic_file.h"

#if !defined(_WIN32)
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#endif

namespace korvel {
namespace {

namespace fs = std::filesystem;

// A fresh directory for one test, removed with everything in it.
class ScratchDir {
  public:
    ScratchDir() {
        static std::atomic<int> serial{0};
        const auto run = std::chrono::steady_clock::now().time_since_epoch().count();
        path_ = fs::temp_directory_path() /
                ("korvel-atomic-" + std::to_string(run) + "-" + std::to_string(serial++));
        fs::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    const fs::path& Path() const { return path_; }
    // Names in the directory, to see that nothing was left behind.
    std::size_t Entries() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(path_), fs::directory_iterator()));
    }

  private:
    fs::path path_;
};

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(AtomicFile, CreatesAndReplacesLeavingOnlyTheFile) {
    ScratchDir dir;
    const std::string path = dir.File("result.csv");
    EXPECT_EQ(WriteFileAtomically(path, "first\n"), "");
    EXPECT_EQ(Read(path), "first\n");
    const std::string big(3 << 20, 'x');  // more than one write call's worth
    EXPECT_EQ(WriteFileAtomically(path, big), "");
    EXPECT_EQ(Read(path), big);
    EXPECT_EQ(WriteFileAtomically(path, ""), "");
    EXPECT_EQ(Read(path), "");
    EXPECT_EQ(dir.Entries(), 1u);
}

TEST(AtomicFile, AUtf8NameIsTheNameOnDisk) {
    ScratchDir dir;
    const std::string name = "r\xc3\xa9sum\xc3\xa9-\xce\xa9.csv";  // "résumé-Ω.csv"
    ASSERT_EQ(WriteFileAtomically(dir.File("") + name, "data"), "");
    const fs::path expected(
        std::u8string(reinterpret_cast<const char8_t*>(name.data()), name.size()));
    ASSERT_EQ(dir.Entries(), 1u);
    EXPECT_EQ(fs::directory_iterator(dir.Path())->path().filename(), expected);
}

TEST(AtomicFile, AMissingDirectoryIsAMessageNamingTheFile) {
    ScratchDir dir;
    const std::string path = dir.File("no/such/dir/result.csv");
    const std::string message = WriteFileAtomically(path, "data");
    EXPECT_NE(message.find(path), std::string::npos) << message;
    EXPECT_EQ(dir.Entries(), 0u);
    EXPECT_EQ(WriteFileAtomically("", "data"), "No file name given.");
}

TEST(AtomicFile, ADirectoryInTheWayIsNotReplaced) {
    ScratchDir dir;
    fs::create_directory(dir.Path() / "taken");
    fs::create_directory(dir.Path() / "taken" / "inside");
    const std::string message = WriteFileAtomically(dir.File("taken"), "data");
    EXPECT_NE(message, "");
    EXPECT_TRUE(fs::is_directory(dir.Path() / "taken" / "inside"));
    EXPECT_EQ(dir.Entries(), 1u);  // no temporary file left beside it
}

#if !defined(_WIN32)
TEST(AtomicFile, AReadOnlyDirectoryLeavesTheOldFileUntouched) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only directories";
    ScratchDir dir;
    const std::string path = dir.File("result.json");
    ASSERT_EQ(WriteFileAtomically(path, "old"), "");
    fs::permissions(dir.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    const std::string message = WriteFileAtomically(path, "new");
    fs::permissions(dir.Path(), fs::perms::owner_all);
    EXPECT_NE(message.find(path), std::string::npos) << message;
    EXPECT_NE(message.find("ermission"), std::string::npos) << message;
    EXPECT_EQ(Read(path), "old");
    EXPECT_EQ(dir.Entries(), 1u);
}

TEST(AtomicFile, AWriteThatFailsHalfwayLeavesTheOldFileAndNoTemporary) {
    ScratchDir dir;
    const std::string path = dir.File("result.csv");
    ASSERT_EQ(WriteFileAtomically(path, "old"), "");
    // A file size limit makes the write fail part of the way through, for root too.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string message = WriteFileAtomically(path, std::string(100000, 'n'));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_NE(message.find(path), std::string::npos) << message;
    EXPECT_EQ(Read(path), "old");
    EXPECT_EQ(dir.Entries(), 1u);
}

TEST(AtomicFile, AReplacedFileKeepsItsPermissions) {
    ScratchDir dir;
    const std::string path = dir.File("kept");
    ASSERT_EQ(WriteFileAtomically(path, "old"), "");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_EQ(WriteFileAtomically(path, "new"), "");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}
#endif

}  // namespace
}  // namespace korvel
