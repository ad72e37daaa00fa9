// A file name in the temporary directory, unique to this test process and
// removed when the test ends.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace korvel::testing {

class TempFile {
  public:
    explicit TempFile(const std::string& stem) {
        static const auto run = std::chrono::steady_clock::now().time_since_epoch().count();
        static std::atomic<int> serial{0};
        path_ = (std::filesystem::temp_directory_path() /
                 ("korvel-" + stem + "-" + std::to_string(run) + "-" + std::to_string(serial++)))
                    .string();
    }
    ~TempFile() { std::filesystem::remove(path_, ignored_); }
    const std::string& Path() const { return path_; }
    void Write(const std::string& text) const { std::ofstream(path_, std::ios::binary) << text; }
    std::string Read() const {
        std::ifstream in(path_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

  private:
    std::string path_;
    std::error_code ignored_;
};

}  // namespace korvel::testing
