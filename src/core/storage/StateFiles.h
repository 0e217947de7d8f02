#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/Files.h"
#include "core/platform/Prompter.h"

namespace pelvaro {

inline constexpr char kSiteSelectionName[] = "Sitesel.dat";
inline constexpr char kRestartName[] = "START.DAT";
inline constexpr char kPortName[] = "DEF.INS";

// The first fields of a state file. A field ends at a comma or at the end of
// a line; leading blanks are skipped, and a field that opens with a double
// quote runs to the closing quote.
std::vector<std::string> ReadFields(std::string_view text, std::size_t count);

struct SiteSelection {
  std::string identification;
  std::string dataDirectory;
  std::optional<int> mode;  // 1 = new site, 2 = load the named site
};

// Empty values when the file is missing or not longer than minimumLength.
// Throws UnsafeNameError when a value read could not name a file or folder
// inside the working root, IoError when the file cannot be read.
SiteSelection ReadSiteSelection(const Files& files, std::uint64_t minimumLength = 0);
// The same for a window: nothing after the user was told why the selection
// could not be taken ("Site File Error").
std::optional<SiteSelection> ReadSiteSelectionOrTell(const Files& files, Prompter& prompter,
                                                     std::uint64_t minimumLength = 0);
// Rewrites Sitesel.dat with two lines, or three with the mode.
void WriteSiteSelection(const Files& files, const std::string& identification,
                        const std::string& dataDirectory, std::optional<int> mode = std::nullopt);

// The line of START.DAT, "YES" or "NO"; empty when missing. Throws IoError
// when it cannot be read.
std::string ReadRestartRequest(const Files& files);
void WriteRestartRequest(const Files& files, std::string_view yesOrNo);

// The port number of DEF.INS; nothing when the file is missing or holds no
// number. Throws IoError when it cannot be read.
std::optional<int> ReadPortNumber(const Files& files);
// The port of DEF.INS for choosing one: 0 (none) when the file is missing,
// holds no number or cannot be read, as the user then picks a port, which
// rewrites the file. The port is a setting, never data.
int StoredPortNumber(const Files& files);
void WritePortNumber(const Files& files, int port);

}  // namespace pelvaro
