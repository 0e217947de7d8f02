#include "core/platform/Files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace pelvaro {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The existing entry of a folder whose name equals the given one case-blind.
std::optional<fs::path> FindInFolder(const fs::path& folder, const fs::path& name) {
  std::error_code ec;
  const fs::path exact = folder / name;
  if (fs::exists(fs::symlink_status(exact, ec))) return exact;
  const std::string wanted = name.string();
  for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end;
       !ec && it != end; it.increment(ec)) {
    const std::string have = it->path().filename().string();
    if (Files::SameNameIgnoringCase(have, wanted)) return folder / have;
  }
  return std::nullopt;
}

std::string ErrnoText() { return std::strerror(errno); }

}  // namespace

UnsafeNameError::UnsafeNameError(std::string name)
    : std::runtime_error("The name \"" + name + "\" cannot be used as a file or folder name."),
      name_(std::move(name)) {}

bool IsSafeName(std::string_view name) {
  if (name.empty() || name == "." || name.find("..") != std::string_view::npos) return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7f) return false;
    if (std::strchr("/\\:*?\"<>|", c) != nullptr) return false;
  }
  return true;
}

const std::string& CheckSafeName(const std::string& name) {
  if (!IsSafeName(name)) throw UnsafeNameError(name);
  return name;
}

Files::Files(fs::path workingRoot) : root_(std::move(workingRoot)) {}

fs::path Files::HeaderFolder() const { return Resolve(root_ / "TVMKHEADER"); }

fs::path Files::InRoot(const std::string& name) const {
  return Resolve(root_ / CheckSafeName(name));
}

fs::path Files::HeaderPath(const std::string& identification) const {
  return Resolve(HeaderFolder() / (CheckSafeName(identification) + ".key"));
}

fs::path Files::DataFolder(const std::string& dataDirectory) const { return InRoot(dataDirectory); }

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
  std::error_code ec;
  for (fs::directory_iterator it(Files::Resolve(folder), ec), end; !ec && it != end;
       it.increment(ec)) {
    std::error_code typeEc;
    const bool isFolder = it->is_directory(typeEc);
    const bool isFile = it->is_regular_file(typeEc);
    if (wantFolders ? !isFolder : !isFile) continue;
    std::string name = it->path().filename().string();
    if (Files::MatchesPattern(name, pattern)) names.push_back(std::move(name));
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

bool Files::Remove(const fs::path& path) noexcept {
  std::error_code ec;
  return fs::remove(Resolve(path), ec);
}

void Files::CopyFile(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::copy_file(Resolve(from), Resolve(to), fs::copy_options::overwrite_existing, ec);
  if (ec) throw IoError(ec.message());
}

bool Files::Move(const fs::path& from, const fs::path& to) noexcept {
  try {
    CopyFile(from, to);
    SyncFile(to);
  } catch (const IoError&) {
    return false;
  }
  return Remove(from);
}

void Files::CopyFolder(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::copy(Resolve(from), Resolve(to),
           fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
  if (ec) throw IoError(ec.message());
}

std::optional<std::string> Files::ReadWholeFile(const fs::path& path) {
  std::ifstream in(Resolve(path), std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

void Files::SyncFile(const fs::path& path) {
#ifndef _WIN32
  const int fd = ::open(Resolve(path).c_str(), O_RDONLY);
  if (fd < 0) throw IoError(ErrnoText());
  const int rc = ::fsync(fd);
  const std::string why = rc != 0 ? ErrnoText() : std::string();
  ::close(fd);
  if (rc != 0) throw IoError(why);
#else
  (void)path;
#endif
}

void Files::WriteWholeFile(const fs::path& path, std::string_view bytes) {
  const fs::path target = Resolve(path);
  fs::path temp = target;
  temp += ".new";
  {
    std::FILE* f = std::fopen(temp.string().c_str(), "wb");
    if (f == nullptr) throw IoError(ErrnoText());
    const bool ok =
        std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() && std::fflush(f) == 0;
    const std::string why = ok ? std::string() : ErrnoText();
    std::fclose(f);
    if (!ok) {
      Remove(temp);
      throw IoError(why);
    }
  }
  try {
    SyncFile(temp);
  } catch (const IoError&) {
    Remove(temp);
    throw;
  }
  std::error_code ec;
  fs::rename(temp, target, ec);
  if (ec) {
    Remove(temp);
    throw IoError(ec.message());
  }
}

}  // namespace pelvaro
