#include "core/platform/Files.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <system_error>

namespace pelvaro {

namespace {

// Names are compared case-blind as Windows compares them, over the whole code page.
char Lower(char c) { return Cp1252Lower(c); }

// The existing entry of a folder whose name equals the given one case-blind.
std::optional<fs::path> FindInFolder(const fs::path& folder, const fs::path& name) {
  std::error_code ec;
  const fs::path exact = folder / name;
  if (fs::exists(fs::symlink_status(exact, ec))) return exact;
  const auto wanted = PathName(name);
  if (!wanted) return std::nullopt;
  for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end;
       !ec && it != end; it.increment(ec)) {
    const auto have = PathName(it->path());
    if (have && Files::SameNameIgnoringCase(*have, *wanted)) return folder / it->path().filename();
  }
  return std::nullopt;
}

// Names Windows keeps for its devices, with or without an extension: as a
// file or folder name they open the device. "COM" and "LPT" take a digit or
// one of the superscripts 1, 2, 3 of the code page.
bool IsDeviceName(std::string_view name) {
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (Files::SameNameIgnoringCase(base, device)) return true;
  }
  if (base.size() != 4) return false;
  const std::string_view prefix = base.substr(0, 3);
  const char n = base[3];
  return (Files::SameNameIgnoringCase(prefix, "COM") ||
          Files::SameNameIgnoringCase(prefix, "LPT")) &&
         ((n >= '0' && n <= '9') || n == '\xB9' || n == '\xB2' || n == '\xB3');
}

constexpr std::size_t kCopyChunk = 1 << 16;

std::string LowerName(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) c = Lower(c);
  return lower;
}

// The names of a folder that another name of it equals case-blind, by their
// lower-case form. Listing the header folder for every lookup would make a
// catalogue of thousands of sites quadratic, so the answer is kept while the
// folder's modification time stays the same; a listing made within a second
// of the last change is not kept, as a coarse clock could hide a later one.
class CaseTwins {
 public:
  std::optional<std::pair<std::string, std::string>> Of(const fs::path& folder,
                                                        std::string_view name) {
    std::error_code ec;
    const auto changed = fs::last_write_time(folder, ec);
    if (ec) return std::nullopt;
    std::map<std::string, std::vector<std::string>> twins;
    {
      const std::lock_guard<std::mutex> guard(mutex_);
      const auto kept = kept_.find(folder);
      if (kept != kept_.end() && kept->second.changed == changed) {
        twins = kept->second.twins;
      } else {
        twins = List(folder);
        if (fs::file_time_type::clock::now() - changed > std::chrono::seconds(1)) {
          kept_[folder] = {changed, twins};
        }
      }
    }
    const auto found = twins.find(LowerName(name));
    if (found == twins.end()) return std::nullopt;
    return std::make_pair(found->second[0], found->second[1]);
  }

 private:
  static std::map<std::string, std::vector<std::string>> List(const fs::path& folder) {
    std::map<std::string, std::vector<std::string>> byLower;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      if (const auto name = PathName(it->path())) byLower[LowerName(*name)].push_back(*name);
    }
    std::erase_if(byLower, [](const auto& entry) { return entry.second.size() < 2; });
    for (auto& [lower, names] : byLower) std::sort(names.begin(), names.end());
    return byLower;
  }

  struct Kept {
    fs::file_time_type changed;
    std::map<std::string, std::vector<std::string>> twins;
  };
  std::mutex mutex_;
  std::map<fs::path, Kept> kept_;
};

std::optional<std::pair<std::string, std::string>> CaseTwin(const fs::path& folder,
                                                            std::string_view name) {
  static CaseTwins twins;
  return twins.Of(folder, name);
}

}  // namespace

DamagedFileError::DamagedFileError(const fs::path& file, const std::string& why)
    : IoError("The file " + Printable(PathText(file.filename())) + " is damaged: " + why) {}

UnsafeNameError::UnsafeNameError(std::string name)
    : std::runtime_error("The name \"" + Printable(name) +
                         "\" cannot be used as a file or folder name."),
      name_(std::move(name)) {}

UnsafeNameError::UnsafeNameError(std::string name, const std::string& text)
    : std::runtime_error(text), name_(std::move(name)) {}

AmbiguousNameError::AmbiguousNameError(const std::string& first, const std::string& second)
    : UnsafeNameError(first, "The site files " + Printable(first) + " and " + Printable(second) +
                                 " differ only in case, so neither can be told from the other. "
                                 "Rename or remove one of them.") {}

std::string Printable(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string shown;
  shown.reserve(text.size());
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7f) {
      shown += "\\x";
      shown += kHex[c >> 4];
      shown += kHex[c & 15];
    } else {
      shown += ch;
    }
  }
  return shown;
}

bool IsSafeName(std::string_view name) {
  if (name.empty() || name == "." || name.find("..") != std::string_view::npos) return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7f) return false;
    if (std::strchr("/\\:*?\"<>|", c) != nullptr) return false;
  }
  // Windows drops a trailing dot or space, so the name would alias another;
  // refused everywhere, so that a site made here opens on Windows too.
  if (name.back() == '.' || name.back() == ' ') return false;
  return !IsDeviceName(name);
}

const std::string& CheckSafeName(const std::string& name) {
  if (!IsSafeName(name)) throw UnsafeNameError(name);
  return name;
}

Files::Files(fs::path workingRoot) : root_(std::move(workingRoot)) {}

fs::path Files::HeaderFolder() const { return Resolve(root_ / kHeaderFolderName); }

fs::path Files::InRoot(const std::string& name) const { return Child(root_, CheckSafeName(name)); }

fs::path Files::HeaderPath(const std::string& identification) const {
  const std::string name = CheckSafeName(identification) + ".key";
  const fs::path folder = HeaderFolder();
  if (const auto other = CaseTwin(folder, name))
    throw AmbiguousNameError(other->first, other->second);
  return Child(folder, name);
}

fs::path Files::Child(const fs::path& folder, std::string_view name) {
  return Resolve(folder / NamePath(name));
}

bool IsDataDirectoryName(std::string_view name) {
  return IsSafeName(name) && !Files::SameNameIgnoringCase(name, kHeaderFolderName);
}

UnsafeNameError DataDirectoryError(const std::string& name) {
  if (!IsSafeName(name)) return UnsafeNameError(name);
  return UnsafeNameError(
      name, "The folder " + name + " holds the site files and cannot be used as a data directory.");
}

const std::string& CheckDataDirectoryName(const std::string& name) {
  if (!IsDataDirectoryName(name)) throw DataDirectoryError(name);
  return name;
}

fs::path Files::DataFolder(const std::string& dataDirectory) const {
  return InRoot(CheckDataDirectoryName(dataDirectory));
}

fs::path Files::Resolve(const fs::path& path) {
  std::error_code ec;
  if (path.empty() || fs::exists(fs::symlink_status(path, ec))) return path;
  fs::path done = path.root_path();
  const fs::path rest = path.relative_path();
  auto it = rest.begin();
  const auto end = rest.end();
  for (; it != end; ++it) {
    auto found = FindInFolder(done, *it);
    if (!found) break;
    done = *found;
  }
  for (; it != end; ++it) done /= *it;
  return done;
}

bool Files::FileExists(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(Resolve(path), ec);
}

bool Files::FolderExists(const fs::path& path) {
  std::error_code ec;
  return fs::is_directory(Resolve(path), ec);
}

std::uint64_t Files::FileLength(const fs::path& path) {
  std::error_code ec;
  const auto size = fs::file_size(Resolve(path), ec);
  return ec ? 0 : size;
}

std::optional<Files::FileState> Files::State(const fs::path& path) {
  const fs::path found = Resolve(path);
  std::error_code ec;
  const fs::file_status status = fs::status(found, ec);
  if (status.type() == fs::file_type::not_found) return std::nullopt;
  if (ec) throw IoError(ec.message() + ": " + PathText(found));
  if (!fs::is_regular_file(status)) throw IoError("It is not a regular file: " + PathText(found));
  FileState state;
  state.size = fs::file_size(found, ec);
  if (!ec) state.modified = fs::last_write_time(found, ec);
  if (ec) throw IoError(ec.message() + ": " + PathText(found));
  return state;
}

bool Files::SameNameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Lower(x) == Lower(y); });
}

bool Files::MatchesPattern(std::string_view name, std::string_view pattern) {
  // Iterative glob with backtracking on the last star.
  std::size_t n = 0, p = 0, star = std::string_view::npos, mark = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

static std::vector<std::string> ListEntries(const fs::path& folder, bool wantFolders,
                                            std::string_view pattern) {
  std::vector<std::string> names;
  for (const fileops::Entry& entry : fileops::ListFolder(Files::Resolve(folder))) {
    if (wantFolders ? !entry.isFolder : !entry.isFile) continue;
    // A name the code page cannot hold is no file of the program.
    auto name = PathName(entry.name);
    if (name && Files::MatchesPattern(*name, pattern)) names.push_back(std::move(*name));
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Lower(x) < Lower(y); });
  });
  return names;
}

std::vector<std::string> Files::List(const fs::path& folder, std::string_view pattern) {
  return ListEntries(folder, false, pattern);
}

std::vector<std::string> Files::ListFolders(const fs::path& folder) {
  return ListEntries(folder, true, "*");
}

bool Files::CreateFolder(const fs::path& path) noexcept {
  std::error_code ec;
  fs::create_directories(Resolve(path), ec);
  return FolderExists(path);
}

bool Files::Remove(const fs::path& path) noexcept { return fileops::Remove(Resolve(path)); }

void Files::Rename(const fs::path& from, const fs::path& to) {
  fileops::Rename(Resolve(from), Resolve(to));
}

void Files::CopyFile(const fs::path& from, const fs::path& to, std::optional<std::uint64_t> limit,
                     bool sync) {
  FileHandle in(Resolve(from), FileHandle::Open::Read);
  FileHandle out(Resolve(to), FileHandle::Open::Create);
  std::string chunk(kCopyChunk, '\0');
  std::uint64_t done = 0;
  for (;;) {
    std::size_t want = chunk.size();
    if (limit) want = static_cast<std::size_t>(std::min<std::uint64_t>(want, *limit - done));
    const std::size_t got = want == 0 ? 0 : in.ReadAt(done, chunk.data(), want);
    if (got == 0) break;
    out.WriteAt(done, std::string_view(chunk.data(), got));
    done += got;
  }
  if (sync) out.Sync();
  out.Close();
}

bool Files::Move(const fs::path& from, const fs::path& to) noexcept {
  try {
    Rename(from, to);
    return true;
  } catch (const IoError&) {
    // Another file system: copied, flushed, and only then the source removed.
  }
  try {
    CopyFile(from, to, std::nullopt, true);
  } catch (const IoError&) {
    return false;
  }
  return Remove(from);
}

void Files::CopyFolder(const fs::path& from, const fs::path& to) {
  const fs::path source = Resolve(from);
  std::error_code ec;
  fs::create_directories(Resolve(to), ec);
  if (ec) throw IoError(ec.message() + ": " + PathText(to));
  for (fs::directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path name = it->path().filename();
    std::error_code typeEc;
    if (it->is_directory(typeEc)) {
      CopyFolder(it->path(), Resolve(to) / name);
    } else if (it->is_regular_file(typeEc)) {
      CopyFile(it->path(), Resolve(to) / name);
    }
  }
  if (ec) throw IoError(ec.message() + ": " + PathText(from));
}

std::string Files::ReadFile(const fs::path& path, std::size_t limit) {
  FileHandle in(Resolve(path), FileHandle::Open::Read);
  const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(in.Size(), limit));
  std::string bytes(length, '\0');
  bytes.resize(in.ReadAt(0, bytes.data(), length));
  return bytes;
}

std::optional<std::string> Files::ReadFileIfPresent(const fs::path& path, std::size_t limit) {
  const fs::path found = Resolve(path);
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(found, ec))) return std::nullopt;
  return ReadFile(found, limit);
}

void Files::WriteWholeFile(const fs::path& path, std::string_view bytes) {
  fileops::ReplaceFile(Resolve(path), bytes);
}

}  // namespace pelvaro
