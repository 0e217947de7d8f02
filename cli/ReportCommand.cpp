#include "cli/ReportCommand.h"

#include <QApplication>
#include <iostream>

#include "core/export/SeasonExport.h"
#include "core/platform/PathNames.h"
#include "core/shell/SiteCatalogue.h"
#include "core/storage/TextRoutines.h"
#include "report/ReportWriter.h"

namespace pelvaro {

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kMostDays = 3660;
// A period named by dates runs to the end of its last day.
constexpr double kEndOfDay = 86399.0 / 86400.0;

std::optional<std::string> Option(const std::map<std::string, std::string>& options,
                                  const std::string& name) {
  const auto it = options.find(name);
  if (it == options.end()) return std::nullopt;
  return it->second;
}

// The period the options name, or why they name none.
std::optional<ReportPeriod> PeriodOf(const std::map<std::string, std::string>& options,
                                     std::string& why) {
  ReportPeriod period;
  if (const auto days = Option(options, "--days")) {
    const bool digits = !days->empty() && days->size() <= 4 &&
                        days->find_first_not_of("0123456789") == std::string::npos;
    if (!digits || std::stoi(*days) < 1 || std::stoi(*days) > kMostDays) {
      why = "--days takes a number of days from 1 to " + std::to_string(kMostDays);
      return std::nullopt;
    }
    period.days = std::stoi(*days);
  }
  for (const char* name : {"--from", "--to"}) {
    const auto text = Option(options, name);
    if (!text) continue;
    const auto day = ParseIsoDate(*text);
    if (!day) {
      why = std::string(name) + " takes a date as YYYY-MM-DD, not \"" + *text + "\"";
      return std::nullopt;
    }
    const auto at = static_cast<double>(*day);
    (std::string(name) == "--from" ? period.from : period.to) = at;
  }
  if (period.to) *period.to += kEndOfDay;
  if (period.from && period.to && *period.from > *period.to) {
    why = "--from is later than --to";
    return std::nullopt;
  }
  return period;
}

std::vector<std::string> EverySite(const Files& files) {
  std::vector<std::string> sites;
  for (const std::string& entry : ListSites(files)) {
    const std::string id = IdentificationOf(entry);
    if (IsSiteIdentification(id)) sites.push_back(id);
  }
  return sites;
}

}  // namespace

std::unique_ptr<QCoreApplication> CommandApplication(int& argc, char** argv, bool draws) {
  if (!draws) return std::make_unique<QCoreApplication>(argc, argv);
#if !defined(_WIN32) && !defined(__APPLE__)
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
      qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
#endif
  return std::make_unique<QApplication>(argc, argv);
}

int ReportCommand(const Files& files, const std::vector<std::string>& words,
                  const std::map<std::string, std::string>& options,
                  const std::function<int(const std::string&)>& usage) {
  if (words.size() < 2) return usage("report takes OUT.pdf and any SITEs");
  ReportRequest request;
  for (auto typed = words.begin() + 2; typed != words.end(); ++typed) {
    request.sites.push_back(TypedName(*typed));
    if (!IsSafeName(request.sites.back())) return usage("\"" + *typed + "\" cannot name a site");
  }
  std::string why;
  const auto period = PeriodOf(options, why);
  if (!period) return usage(why);
  request.period = *period;
  // The paper the machine's locale names, as the windows take it, unless asked.
  request.paper = LocalePaper();
  if (const auto paper = Option(options, "--paper")) {
    const auto chosen = ParsePaper(*paper);
    if (!chosen) return usage("--paper takes a4 or letter, not \"" + *paper + "\"");
    request.paper = *chosen;
  }
  if (request.sites.empty()) request.sites = EverySite(files);
  const ReportResult result = WriteReport(files, request, NamePath(words[1]));
  for (const auto& [site, error] : result.unread) {
    std::cerr << Cp1252ToTerminal(site + ": " + error) << "\n";
  }
  if (result.outcome != ReportResult::Outcome::Written) {
    std::cerr << "pelvaro-cli: the report was not written: " << Cp1252ToTerminal(result.error)
              << "\n";
    return kFailed;
  }
  return result.unread.empty() ? kOk : kFailed;
}

}  // namespace pelvaro
