#include "core/editor/BlockExport.h"

#include <cmath>

#include "core/platform/Program.h"
#include "core/storage/NumberText.h"
#include "core/storage/SiteHeader.h"
#include "core/storage/TextRoutines.h"

namespace pelvaro {

namespace {

constexpr double kSpreadsheetDay1996 = 35064;  // 1 January 1996 counted from 30 December 1899

std::string Unspaced(double value) { return TrimLeft(Spaced(value)); }

struct InUse {
  int depth;
  double offset;
  double slope;
};

}  // namespace

CsvText BlockCsv(const Files& files, const std::string& identification, const fs::path& stemPath) {
  CsvText csv;
  SiteHeader site(files.HeaderPath(identification), RecordFile::Mode::ReadOnly);
  const BlockPaths paths = MakeBlockPaths(stemPath);
  const BlockHeader block = ReadBlockHeader(paths.header);
  CheckWordCount(block, paths.header);
  BlockData data(paths.data, RecordFile::Mode::ReadOnly);
  const std::vector<std::uint16_t> words = data.ReadAllWords();
  const RunHeader& run = block.run;

  double slots = site.ReadNumber(header::kDepthSlotCount);
  if (slots == 0) slots = 12;
  std::vector<InUse> sensors;
  for (int d = 1; d <= 12 && d <= slots; ++d) {
    const int base = header::CalibrationBase(d);
    if (Trim(site.ReadRecord(base + header::kState)) != "ON") continue;
    sensors.push_back(
        {d, site.ReadNumber(base + header::kOffset), site.ReadNumber(base + header::kSlope)});
    if (sensors.back().slope == 0) {
      csv.error = "Invalid slope value for the sensor at profile depth " + Plain(10 * d) + ".";
      return csv;
    }
  }
  if (sensors.empty()) {
    csv.error = "This site does not have any sensors selected.";
    return csv;
  }
  const std::string unit =
      Trim(site.ReadRecord(header::kMeasurementType)) == "Percentage" ? "%" : "mm";

  std::string& out = csv.text;
  const auto line = [&out](const std::string& text) { out += text + "\r\n"; };
  line("Site Name:   ,    " + site.ReadRecord(header::kSiteName));
  line("Site Number:   ,    " + Spaced(run.SiteNumber()));
  line(std::string("Logger Type:   ,    ") + kAppName);
  line("Serial Number:   ,    " + Spaced(run.SerialNumber()));
  line("");
  line("");
  line("");
  std::string heading1 = "Scan Number   ,Date And Time(UTC + 12:00)   ,";
  std::string heading2 = "        ,        ,";
  for (std::size_t k = 1; k <= sensors.size(); ++k) {
    heading1 += "Sensor " + Spaced(static_cast<double>(k)) + "   ,      " + "   ,";
    heading2 += "Raw Value   ,Water " + unit + "   ,";
  }
  line(heading1);
  line(heading2);

  long day = run.StartDay();
  long seconds = 2L * run.StartTimeUnits();
  const int interval = run.ScanInterval();
  std::size_t next = 0;  // the next reading, scan after scan
  int scan = 0;
  for (double k = 1; k <= block.words; k += static_cast<double>(sensors.size())) {
    std::string text = Spaced(++scan) + "   ," +
                       Unspaced(kSpreadsheetDay1996 + day + seconds / 86400.0).substr(0, 12);
    for (const InUse& s : sensors) {
      const std::uint16_t raw = next < words.size() ? words[next] : 0;
      ++next;
      const double water = std::floor((s.offset - raw) * 10) / s.slope;
      text += ",    " + Unspaced(raw) + ",    " + FormatTwoDecimals(water);
    }
    line(text);
    seconds += interval;
    if (seconds >= 86400) {
      ++day;
      seconds -= 86400;
    }
  }
  return csv;
}

bool SaveBlockCsv(const Files& files, Prompter& prompter, const std::string& identification,
                  const fs::path& stemPath, const fs::path& target) {
  try {
    const CsvText csv = BlockCsv(files, identification, stemPath);
    if (!csv.error.empty()) {
      prompter.Message(csv.error);
      return false;
    }
    fs::path file = target;
    // A name typed without an extension still makes a file a spreadsheet opens.
    if (!file.has_extension()) file += ".csv";
    Files::WriteWholeFile(file, csv.text);
    return true;
  } catch (const std::exception& e) {
    prompter.Message(std::string("An error occurred while saving the CSV file.\r\nThe error is ") +
                     e.what());
    return false;
  }
}

std::vector<std::string> PrintoutLines(const Files& files, const BlockEditor& editor) {
  std::vector<std::string> lines;
  if (!editor.OpenedBlock()) return lines;
  SiteHeader site(files.HeaderPath(editor.Identification()), RecordFile::Mode::ReadOnly);
  const RunHeader& run = editor.OpenedHeader().run;
  const int sensors = editor.SensorsPerScan();
  const auto info = [&editor](const std::string& label) {
    for (const auto& [name, value] : editor.Info()) {
      if (name == label) return value;
    }
    return std::string();
  };
  lines.push_back("");
  lines.push_back(std::string(7, ' ') + kAppName);
  lines.push_back("             Site Data Printout For Site" + site.ReadRecord(header::kSiteName));
  lines.push_back("");
  lines.push_back("      Total Profile Points " + Spaced(site.ReadNumber(header::kDepthSlotCount)) +
                  "   Number of sensors " + Spaced(sensors));
  lines.push_back("      VELMORA Serial Number " + Spaced(run.SerialNumber()) + "   Site number " +
                  Spaced(run.SiteNumber()));
  lines.push_back("      Block Start Date " + info("Start Date") + "  Start Time " +
                  info("Start Time"));
  lines.push_back("      This block number " + Spaced(*editor.OpenedBlock()) +
                  "   Sensor scan time in minutes " + Spaced(run.ScanInterval() / 60.0));
  lines.push_back("");
  std::string heading = "     Scan ";
  for (int k = 1; k <= sensors; ++k) heading += "  Sens." + Spaced(k);
  lines.push_back(heading);
  const auto& rows = editor.Readings();
  for (std::size_t r = 0; r < rows.size(); ++r) {
    std::string number = std::to_string(r + 1);
    std::string text =
        std::string(number.size() < 4 ? 4 - number.size() : 0, ' ') + number + "     ";
    // Each reading under its heading, right-aligned.
    for (const std::string& reading : rows[r]) {
      const std::string shown = Trim(reading);
      text += std::string(shown.size() < 9 ? 9 - shown.size() : 0, ' ') + shown;
    }
    lines.push_back(text);
  }
  return lines;
}

}  // namespace pelvaro
