#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/Files.h"

namespace pelvaro {

inline constexpr char kSitePattern[] = "*.key";

// The site list: the header files of the header folder, sorted case-blind.
std::vector<std::string> ListSites(const Files& files);
// The identification of a list entry: the name without ".key", trailing
// spaces removed.
std::string IdentificationOf(const std::string& entry);
// A name the program could have given a site: a safe file name, not
// starting with a blank, ending in "_" and the two characters of the site
// number (digits, or a digit and a point), with a name or serial number
// before it.
bool IsSiteIdentification(std::string_view identification);
// The entry that names the identification (left-trimmed, upper case), if any.
std::optional<int> FindSiteEntry(const std::vector<std::string>& sites,
                                 const std::string& identification);
// Where re-selecting a remembered site leaves the list: the matching entry,
// else the last one; nothing for an empty identification or list.
std::optional<int> RememberedSiteIndex(const std::vector<std::string>& sites,
                                       const std::string& identification);

}  // namespace pelvaro
