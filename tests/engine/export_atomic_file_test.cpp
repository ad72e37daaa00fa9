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
    std::string File(const std::string& name) const { return (path_ / "").string() + name; }
    const fs::path& Path() const { return path_; }
    // Entries in the directory: a temporary file left behind shows here.
    long Entries() const { return std::distance(fs::directory_iterator(path_), {}); }

  private:
    fs::path path_;
};

TEST(AtomicFile, CreatesAndReplacesUnderItsUtf8Name) {
    ScratchDir dir;
    const std::string name = "r\xc3\xa9sum\xc3\xa9-\xce\xa9.csv";  // "résumé-Ω.csv"
    ASSERT_EQ(WriteFileAtomically(dir.File(name), "first"), "");
    const std::string big(3 << 20, 'x');  // more than one write call's worth
    ASSERT_EQ(WriteFileAtomically(dir.File(name), big), "");
    ASSERT_EQ(dir.Entries(), 1);
    const fs::path onDisk = fs::directory_iterator(dir.Path())->path();
    EXPECT_EQ(onDisk.filename(),
              fs::path(std::u8string(reinterpret_cast<const char8_t*>(name.data()), name.size())));
    EXPECT_EQ(fs::file_size(onDisk), big.size());
}

TEST(AtomicFile, FailuresNameTheFileAndLeaveNothingBehind) {
    ScratchDir dir;
    const std::string missing = dir.File("no/such/dir/result.csv");
    EXPECT_NE(WriteFileAtomically(missing, "data").find(missing), std::string::npos);
    EXPECT_EQ(WriteFileAtomically("", "data"), "No file name given.");
    // A directory in the way is not replaced, and no temporary file stays beside it.
    fs::create_directories(dir.Path() / "taken" / "inside");
    EXPECT_NE(WriteFileAtomically(dir.File("taken"), "data"), "");
    EXPECT_TRUE(fs::is_directory(dir.Path() / "taken" / "inside"));
    EXPECT_EQ(dir.Entries(), 1);
}

#if !defined(_WIN32)
std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(AtomicFile, AFailedWriteLeavesTheOldFileAsItWas) {
    ScratchDir dir;
    const std::string path = dir.File("result.json");
    ASSERT_EQ(WriteFileAtomically(path, "old"), "");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
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
    EXPECT_EQ(dir.Entries(), 1);
    // A replaced file keeps its permissions.
    ASSERT_EQ(WriteFileAtomically(path, "new"), "");
    EXPECT_EQ(Read(path), "new");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    // A directory the user may not write into.
    if (geteuid() == 0)
        return;  // root writes there all the same
    fs::permissions(dir.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_NE(WriteFileAtomically(path, "newer").find("ermission"), std::string::npos);
    fs::permissions(dir.Path(), fs::perms::owner_all);
    EXPECT_EQ(Read(path), "new");
    EXPECT_EQ(dir.Entries(), 1);
}
#endif

}  // namespace
}  // namespace korvel
