#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/FileOps.h"
#include "core/platform/PathNames.h"

namespace pelvaro {

inline constexpr char kHeaderFolderName[] = "TVMKHEADER";

// A file that holds more than its format allows, or counts that its format
// cannot hold: it is reported, never read on trust.
class DamagedFileError : public IoError {
 public:
  DamagedFileError(const fs::path& file, const std::string& why);
};

// A name read from a file that would leave its folder if used as a file name,
// or a folder that cannot hold data blocks.
class UnsafeNameError : public std::runtime_error {
 public:
  explicit UnsafeNameError(std::string name);
  UnsafeNameError(std::string name, const std::string& text);
  const std::string& Name() const { return name_; }

 private:
  std::string name_;
};

// The text with every control character written as \xNN, so that a name read
// from a file cannot break or disguise the message that shows it.
std::string Printable(std::string_view text);

// Two site header files whose names differ only in case (made by hand where
// names keep their case): neither can be told from the other, so both are
// refused in every operation rather than one taken for the other.
class AmbiguousNameError : public UnsafeNameError {
 public:
  AmbiguousNameError(const std::string& first, const std::string& second);
};

// True when the text can name one file or folder inside a folder, on Linux and
// on Windows alike: not empty, no path separator, no "..", no drive colon, no
// control character, none of the characters Windows refuses in names, no
// trailing dot or space, and no device name of Windows ("CON", "NUL.key",
// "COM1", "LPT9"...).
bool IsSafeName(std::string_view name);
// Throws UnsafeNameError unless IsSafeName; returns the name.
const std::string& CheckSafeName(const std::string& name);
// A safe name that is not the header folder (whatever its case): block files
// there would be taken for sites.
bool IsDataDirectoryName(std::string_view name);
// Why a name cannot be a data directory.
UnsafeNameError DataDirectoryError(const std::string& name);
const std::string& CheckDataDirectoryName(const std::string& name);

// The file-system seam: the working root, and the case-blind lookups that let
// a program written for Windows find "Sitesel.Dat" when "Sitesel.dat" exists.
class Files {
 public:
  explicit Files(fs::path workingRoot);

  const fs::path& Root() const { return root_; }
  fs::path HeaderFolder() const;
  // The working root joined with one safe name, found whatever its case.
  fs::path InRoot(const std::string& name) const;
  // The header file of a site identification. Throws AmbiguousNameError when
  // the header folder holds two whose names differ only in case.
  fs::path HeaderPath(const std::string& identification) const;
  // A folder directly under the working root (a data directory). Throws
  // UnsafeNameError for a name that cannot be one.
  fs::path DataFolder(const std::string& dataDirectory) const;
  // The entry of a folder that a stored name (as List gives it) names, found
  // whatever its case.
  static fs::path Child(const fs::path& folder, std::string_view name);

  // The existing entry whatever the case of each component; where nothing
  // exists, the rest of the path as spelled, so new files keep their spelling.
  static fs::path Resolve(const fs::path& path);
  static bool FileExists(const fs::path& path);
  static bool FolderExists(const fs::path& path);
  static std::uint64_t FileLength(const fs::path& path);  // 0 when missing
  // What tells one version of a file from the next without reading it.
  struct FileState {
    std::uint64_t size = 0;
    fs::file_time_type modified{};
    bool operator==(const FileState&) const = default;
  };
  // Nothing when no file is at the path. Throws IoError, with the file and
  // the cause, when it cannot be looked at or is no regular file.
  static std::optional<FileState> State(const fs::path& path);
  // Regular files of a folder whose names match a "*.key"-style pattern
  // case-blind, sorted case-blind; none for a missing folder. Throws IoError
  // when the folder cannot be listed.
  static std::vector<std::string> List(const fs::path& folder, std::string_view pattern);
  static std::vector<std::string> ListFolders(const fs::path& folder);
  static bool MatchesPattern(std::string_view name, std::string_view pattern);
  static bool SameNameIgnoringCase(std::string_view a, std::string_view b);

  static bool CreateFolder(const fs::path& path) noexcept;
  static bool Remove(const fs::path& path) noexcept;
  // Renames a file, replacing the target. Throws IoError.
  static void Rename(const fs::path& from, const fs::path& to);
  // Copies over an existing target (found case-blind); at most `limit`
  // bytes when given; synced to the disk when asked. Throws IoError.
  static void CopyFile(const fs::path& from, const fs::path& to,
                       std::optional<std::uint64_t> limit = std::nullopt, bool sync = false);
  // Rename, or copy and delete the source when the rename cannot be done.
  static bool Move(const fs::path& from, const fs::path& to) noexcept;
  // Copies a folder and all it holds, overwriting files already there.
  static void CopyFolder(const fs::path& from, const fs::path& to);

  // At most `limit` bytes from the start of a file. No reader loads more than
  // its format can hold.
  //
  // A failed read is an error, never data: both throw IoError, with the file
  // and the cause, when the file cannot be opened or read, and nothing in the
  // program stands an empty text, zero readings or a default in for it (a
  // check in CI refuses `value_or` on a read). An operation that reads a file
  // it is about to rewrite stops there and leaves every file as it was.
  static std::string ReadFile(const fs::path& path, std::size_t limit);
  // As ReadFile, but nothing when no file is at the path: for the files a
  // working root may lack (the state files), never for one that must exist.
  static std::optional<std::string> ReadFileIfPresent(const fs::path& path, std::size_t limit);
  // Writes a sibling temporary file, flushes it to disk and renames it over the
  // target, so a crash leaves either the old or the new content. Throws IoError.
  static void WriteWholeFile(const fs::path& path, std::string_view bytes);

 private:
  fs::path root_;
};

}  // namespace pelvaro
