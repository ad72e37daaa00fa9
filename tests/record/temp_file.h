// A file name in the system's temporary directory, unique to the test
// process, and removed when the test ends.
#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

#if defined(_WIN32)
#include <process.h>
#define KORVEL_TEST_PID _getpid()
#else
#include <unistd.h>
#define KORVEL_TEST_PID getpid()
#endif

namespace korvel::testing {

class TempFile {
  public:
    explicit TempFile(const std::string& stem) {
        static std::atomic<int> serial{0};
        path_ = (std::filesystem::temp_directory_path() /
                 ("korvel-" + stem + "-" + std::to_string(KORVEL_TEST_PID) + "-" +
                  std::to_string(serial++) + ".jsonl"))
                    .string();
    }
    ~TempFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& Path() const { return path_; }
    void Write(const std::string& text) const {
        std::ofstream(path_, std::ios::binary | std::ios::trunc) << text;
    }
    std::string Read() const {
        std::ifstream in(path_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

  private:
    std::string path_;
};

}  // namespace korvel::testing
