#include "core/storage/StateFiles.h"

#include "core/storage/NumberText.h"
#include "core/storage/RecordFile.h"

namespace pelvaro {

std::vector<std::string> ReadFields(std::string_view text, std::size_t count) {
  std::vector<std::string> fields;
  std::size_t i = 0;
  const auto atLineEnd = [&] { return i >= text.size() || text[i] == '\r' || text[i] == '\n'; };
  while (fields.size() < count && i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    std::string field;
    if (i < text.size() && text[i] == '"') {
      const std::size_t close = text.find('"', i + 1);
      const std::size_t end = close == std::string_view::npos ? text.size() : close;
      field = std::string(text.substr(i + 1, end - i - 1));
      i = end == text.size() ? end : end + 1;
      while (!atLineEnd() && text[i] != ',') ++i;
    } else {
      const std::size_t start = i;
      while (!atLineEnd() && text[i] != ',') ++i;
      field = TrimRight(text.substr(start, i - start));
    }
    if (i < text.size()) {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      ++i;
    }
    fields.push_back(std::move(field));
  }
  return fields;
}

namespace {

// More than any state file this program writes: a longer file is read no
// further.
constexpr std::size_t kStateFileLimit = 4096;

std::string Lines(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (std::string_view line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace

SiteSelection ReadSiteSelection(const Files& files, std::uint64_t minimumLength) {
  SiteSelection selection;
  const fs::path path = files.InRoot(kSiteSelectionName);
  if (!Files::FileExists(path) || Files::FileLength(path) <= minimumLength) return {};
  auto fields = ReadFields(Files::ReadFile(path, kStateFileLimit), 3);
  fields.resize(3);
  selection.identification = fields[0];
  selection.dataDirectory = fields[1];
  if (!selection.identification.empty()) CheckSafeName(selection.identification);
  if (!selection.dataDirectory.empty()) CheckDataDirectoryName(selection.dataDirectory);
  if (!fields[2].empty()) {
    if (auto mode = ToInt16(ParseLeadingNumber(fields[2]))) selection.mode = *mode;
  }
  return selection;
}

std::optional<SiteSelection> ReadSiteSelectionOrTell(const Files& files, Prompter& prompter,
                                                     std::uint64_t minimumLength) {
  try {
    return ReadSiteSelection(files, minimumLength);
  } catch (const UnsafeNameError& e) {
    prompter.Message(e.what(), "Site File Error", Buttons::Ok, Icon::Critical);
  } catch (const IoError& e) {
    prompter.Message(
        std::string("An error occurred while reading the selected site.\r\nThe error is ") +
            e.what(),
        "Site File Error", Buttons::Ok, Icon::Critical);
  }
  return std::nullopt;
}

void WriteSiteSelection(const Files& files, const std::string& identification,
                        const std::string& dataDirectory, std::optional<int> mode) {
  const std::string text = mode ? Lines({identification, dataDirectory, Spaced(*mode)})
                                : Lines({identification, dataDirectory});
  Files::WriteWholeFile(files.InRoot(kSiteSelectionName), text);
}

std::string ReadRestartRequest(const Files& files) {
  const auto text = Files::ReadFileIfPresent(files.InRoot(kRestartName), kStateFileLimit);
  if (!text) return {};
  const auto fields = ReadFields(*text, 1);
  return fields.empty() ? std::string() : fields[0];
}

void WriteRestartRequest(const Files& files, std::string_view yesOrNo) {
  Files::WriteWholeFile(files.InRoot(kRestartName), Lines({yesOrNo}));
}

std::optional<int> ReadPortNumber(const Files& files) {
  const auto text = Files::ReadFileIfPresent(files.InRoot(kPortName), kStateFileLimit);
  if (!text) return std::nullopt;
  const auto fields = ReadFields(*text, 1);
  const double value = fields.empty() ? 0.0 : ParseLeadingNumber(fields[0]);
  const auto port = ToInt16(value);
  if (!port) return std::nullopt;
  return *port;
}

int StoredPortNumber(const Files& files) {
  try {
    const auto port = ReadPortNumber(files);
    return port ? *port : 0;
  } catch (const IoError&) {
    return 0;
  }
}

void WritePortNumber(const Files& files, int port) {
  Files::WriteWholeFile(files.InRoot(kPortName), Lines({Spaced(port)}));
}

}  // namespace pelvaro
