#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pelvaro {

namespace fs = std::filesystem;

// A file-system failure, with the description the user is shown after
// "The error is ".
class IoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A name read from a file that would leave its folder if used as a file name.
class UnsafeNameError : public std::runtime_error {
 public:
  explicit UnsafeNameError(std::string name);
  const std::string& Name() const { return name_; }

 private:
  std::string name_;
};

// True when the text can name one file or folder inside a folder: not empty,
// no path separator, no "..", no drive colon, no control character and none of
// the characters Windows refuses in names.
bool IsSafeName(std::string_view name);
// Throws UnsafeNameError unless IsSafeName; returns the name.
const std::string& CheckSafeName(const std::string& name);

// The file-system seam: the working root, and the case-blind lookups that let
// a program written for Windows find "Sitesel.Dat" when "Sitesel.dat" exists.
class Files {
 public:
  explicit Files(fs::path workingRoot);

  const fs::path& Root() const { return root_; }
  fs::path HeaderFolder() const;
  // The working root joined with one safe name, found whatever its case.
  fs::path InRoot(const std::string& name) const;
  // The header file of a site identification.
  fs::path HeaderPath(const std::string& identification) const;
  // A folder directly under the working root (a data directory).
  fs::path DataFolder(const std::string& dataDirectory) const;

  // The existing entry whatever the case of each component; where nothing
  // exists, the rest of the path as spelled, so new files keep their spelling.
  static fs::path Resolve(const fs::path& path);
  static bool FileExists(const fs::path& path);
  static bool FolderExists(const fs::path& path);
  static std::uint64_t FileLength(const fs::path& path);  // 0 when missing
  // Regular files of a folder whose names match a "*.key"-style pattern
  // case-blind, sorted case-blind.
  static std::vector<std::string> List(const fs::path& folder, std::string_view pattern);
  static std::vector<std::string> ListFolders(const fs::path& folder);
  static bool MatchesPattern(std::string_view name, std::string_view pattern);
  static bool SameNameIgnoringCase(std::string_view a, std::string_view b);

  static bool CreateFolder(const fs::path& path) noexcept;
  static bool Remove(const fs::path& path) noexcept;
  // Copies over an existing target (found case-blind). Throws IoError.
  static void CopyFile(const fs::path& from, const fs::path& to);
  // Copy, then delete the source.
  static bool Move(const fs::path& from, const fs::path& to) noexcept;
  // Copies a folder and all it holds, overwriting files already there.
  static void CopyFolder(const fs::path& from, const fs::path& to);

  static std::optional<std::string> ReadWholeFile(const fs::path& path);
  // Writes a sibling temporary file, flushes it to disk and renames it over the
  // target, so a crash leaves either the old or the new content. Throws IoError.
  static void WriteWholeFile(const fs::path& path, std::string_view bytes);
  // Flushes a file's content to disk. Throws IoError.
  static void SyncFile(const fs::path& path);

 private:
  fs::path root_;
};

}  // namespace pelvaro
