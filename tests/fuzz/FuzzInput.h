#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "core/platform/FileOps.h"

namespace pelvaro::fuzz {

namespace fs = std::filesystem;

// The readers are the target, not the disk: writes are not waited for.
class NoSyncs : public FaultPlan {
 public:
  Verdict Before(FileOp, const fs::path&) override { return Verdict::Proceed; }
  bool RealSync() const override { return false; }
};

// A working root of its own for the life of the fuzzing process.
inline const fs::path& ScratchRoot() {
  static const fs::path root = [] {
    static NoSyncs noSyncs;
    InstallFaultPlan(&noSyncs);
    std::string pattern = (fs::temp_directory_path() / "pelvaro-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    std::atexit([] {
      std::error_code ec;
      fs::remove_all(ScratchRoot(), ec);
    });
    return fs::path(pattern);
  }();
  return root;
}

// First byte with the high bit set: the file is made sparse to (low 7 bits + 1) x 16 MB,
// so readers meet files far beyond their format. The rest is the content.
struct Input {
  std::uint64_t extendTo = 0;
  std::string_view content;
};

inline Input Split(const std::uint8_t* data, std::size_t size) {
  Input input;
  if (size == 0) return input;
  if ((data[0] & 0x80) != 0) input.extendTo = (std::uint64_t{data[0] & 0x7fu} + 1) << 24;
  input.content = std::string_view(reinterpret_cast<const char*>(data + 1), size - 1);
  return input;
}

inline void WriteFile(const fs::path& path, std::string_view bytes, std::uint64_t extendTo = 0) {
  fs::create_directories(path.parent_path());
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  if (extendTo > bytes.size()) fs::resize_file(path, extendTo);
}

}  // namespace pelvaro::fuzz
