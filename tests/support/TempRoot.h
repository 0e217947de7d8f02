#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace pelvaro::testing {

// A fresh folder per test, removed afterwards.
class TempRoot {
 public:
  TempRoot() {
    std::random_device rd;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "pelvaro-test-";
    if (info != nullptr) name += std::string(info->name()) + "-";
    path_ = std::filesystem::temp_directory_path() / (name + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TempRoot() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempRoot(const TempRoot&) = delete;
  TempRoot& operator=(const TempRoot&) = delete;

  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Words as they lie on the line and in a block file, low byte first.
inline std::string WordBytes(const std::vector<std::uint16_t>& words) {
  std::string bytes;
  for (std::uint16_t w : words) bytes += {static_cast<char>(w & 255), static_cast<char>(w >> 8)};
  return bytes;
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

}  // namespace pelvaro::testing
