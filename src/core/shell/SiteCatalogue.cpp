#include "core/shell/SiteCatalogue.h"

#include <algorithm>

#include "core/platform/PathNames.h"
#include "core/storage/RecordFile.h"

namespace pelvaro {

namespace {
std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), Cp1252Upper);
  return text;
}
}  // namespace

std::vector<std::string> ListSites(const Files& files) {
  return Files::List(files.HeaderFolder(), kSitePattern);
}

std::string IdentificationOf(const std::string& entry) {
  return TrimRight(entry.size() >= 4 ? entry.substr(0, entry.size() - 4) : std::string());
}

bool IsSiteIdentification(std::string_view id) {
  if (!IsSafeName(id) || id.size() < 4 || id.front() == ' ' || id[id.size() - 3] != '_') {
    return false;
  }
  const std::string_view number = id.substr(id.size() - 2);
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  const auto numberChar = [&](char c) { return digit(c) || c == '.'; };
  return numberChar(number[0]) && numberChar(number[1]) && (digit(number[0]) || digit(number[1]));
}

std::optional<int> FindSiteEntry(const std::vector<std::string>& sites,
                                 const std::string& identification) {
  const std::string wanted = Upper(identification + ".KEY");
  for (std::size_t i = 0; i < sites.size(); ++i) {
    if (Upper(TrimLeft(sites[i])) == wanted) return static_cast<int>(i);
  }
  return std::nullopt;
}

std::optional<int> RememberedSiteIndex(const std::vector<std::string>& sites,
                                       const std::string& identification) {
  if (identification.empty() || sites.empty()) return std::nullopt;
  return FindSiteEntry(sites, identification).value_or(static_cast<int>(sites.size()) - 1);
}

}  // namespace pelvaro
