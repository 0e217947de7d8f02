// pelvaro-cli's wetting events on the sample season: listed, labelled, exported, and in the
// status; every refusal writes nothing.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "e2e/Simulator.h"
#include "support/ChangedFiles.h"
#include "support/RowNames.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

const fs::path kSeed = fs::path(PELVARO_BIN_DIR) / ".." / "share" / "pelvaro";
const QString kSite = "SAMPLE SITE_01";
// The second event of the season, and the last, still wetting at the last scan.
const QString kSecond = "2026-09-15T22:15:00";
const QString kLast = "2026-11-01T22:45:00";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t from = 0; from < text.size();) {
    const std::size_t end = text.find('\n', from);
    lines.push_back(text.substr(from, end - from));
    from = end == std::string::npos ? text.size() : end + 1;
  }
  return lines;
}

QJsonArray JsonArray(const std::string& text) {
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text));
  EXPECT_TRUE(doc.isArray()) << text;
  return doc.array();
}

// The sample's working root, converted, with a site that names no data directory.
class EventsCli : public ::testing::Test {
 protected:
  EventsCli() {
    Files::CopyFolder(kSeed, root.Path());
    const Files files(root.Path());
    SiteBuilder nowhere(files, "NOWHERE_01");
    nowhere.Header(LoggerSensors(2), 0);
    nowhere.Set({{header::kDataDirectory, ""}});
  }
  CliResult Cli(const QStringList& args) const { return RunCliOk(root.Path(), args); }
  fs::path Labels() const { return root.Path() / "TVMKDATA" / "SAMPLE SITE_01.EVT"; }

  TempRoot root;
};

TEST_F(EventsCli, TextListsEachEventOfTheSeasonOnALineByStart) {
  const std::vector<std::string> lines = Lines(Cli({"events", kSite}).out);
  ASSERT_EQ(lines.size(), 14u);
  EXPECT_TRUE(lines[1].starts_with(kSecond.toStdString() + "  unknown  peak ")) << lines[1];
  EXPECT_TRUE(lines.back().starts_with(kLast.toStdString() + "  unknown  peak 2026-11-02T11:15:00"
                                                             "  still wetting"))
      << lines.back();
}

TEST_F(EventsCli, FromAndToTakeTheEventsStartingOnThoseDays) {
  std::string within;
  for (const std::string& line : Lines(Cli({"events", kSite}).out)) {
    const std::string day = line.substr(0, 10);
    if (day >= "2026-09-15" && day <= "2026-09-20") within += line + "\n";
  }
  ASSERT_EQ(Lines(within).size(), 3u);
  EXPECT_EQ(Cli({"events", kSite, "--from", "2026-09-15", "--to", "2026-09-20"}).out, within);
}

TEST_F(EventsCli, ALabelShowsItsKindAndNoteInTextAndJson) {
  const std::string note = "pivot, \"north\" half \xE2\x80\x94 caf\xC3\xA9";
  Cli({"events", kSite, "--label", kSecond, "irrigation", "--note", QString::fromStdString(note)});
  const std::string text = Lines(Cli({"events", kSite}).out)[1];
  EXPECT_TRUE(text.starts_with(kSecond.toStdString() + "  irrigation  ")) << text;
  EXPECT_TRUE(text.ends_with("  note: " + note)) << text;
  const QJsonArray events = JsonArray(Cli({"events", kSite, "--json"}).out);
  ASSERT_GT(events.size(), 1);
  const QJsonObject json = events[1].toObject();
  EXPECT_EQ(json["kind"].toString() + "|" + json["note"].toString(),
            "irrigation|" + QString::fromStdString(note));
}

TEST_F(EventsCli, ALabelGivenWithoutANoteKeepsTheNoteBefore) {
  Cli({"events", kSite, "--label", kSecond, "irrigation", "--note", "drip"});
  Cli({"events", kSite, "--label", kSecond, "rain"});
  EXPECT_EQ(Lines(ReadBytes(Labels()))[1], kSecond.toStdString() + "\train\tdrip");
}

TEST_F(EventsCli, StatusJsonLastEventIsTheSeasonsLastWithItsLabel) {
  Cli({"events", kSite, "--label", kLast, "rain"});
  const QJsonObject status = JsonArray(Cli({"status", kSite, "--json"}).out)[0].toObject();
  // As the last line of `events` shows it: deepest 80 cm, effective gain 40.26.
  EXPECT_EQ(
      QJsonDocument(status["last_event"].toObject()).toJson(QJsonDocument::Compact),
      R"({"deepest_cm":80,"effective_gain":40.26,"kind":"rain","start":"2026-11-01T22:45:00"})");
}

TEST_F(EventsCli, ExportedCsvHasARowPerEventInTheRange) {
  const fs::path out = root.Path() / "events.csv";
  WriteBytes(out, "old");
  Cli({"export", kSite, QString::fromStdString(out.string()), "--events", "--from", "2026-09-15",
       "--to", "2026-09-20"});
  const std::vector<std::string> rows = Lines(ReadBytes(out));
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_TRUE(rows[0].starts_with("start,peak,end,")) << rows[0];
  EXPECT_EQ(rows[1].substr(0, 20), kSecond.toStdString() + ",");
  EXPECT_EQ(rows[3].substr(0, 20), "2026-09-20T18:30:00,");
}

TEST_F(EventsCli, ExportedJsonIsWhatEventsJsonPrintsForTheRange) {
  const fs::path out = root.Path() / "events.json";
  const QStringList range = {"--from", "2026-10-01", "--to", "2026-10-31"};
  Cli(QStringList{"export", kSite, QString::fromStdString(out.string()), "--events", "--format",
                  "json"} +
      range);
  const std::string printed = Cli(QStringList{"events", kSite, "--json"} + range).out;
  EXPECT_EQ(JsonArray(printed).size(), 7);
  EXPECT_EQ(ReadBytes(out), printed);
}

struct Refusal {
  const char* guards;
  QStringList args;
  std::string why;
};

const Refusal kRefusals[] = {
    {"a date that is no calendar day",
     {"events", kSite, "--from", "2026-02-29"},
     "--from takes a date as YYYY-MM-DD"},
    {"a range that ends before it starts",
     {"events", kSite, "--from", "2026-10-02", "--to", "2026-10-01"},
     "is later than --to"},
    {"a start no event has",
     {"events", kSite, "--label", "2026-09-15T22:15:01", "rain"},
     "No wetting event of SAMPLE SITE_01 starts at 2026-09-15T22:15:01"},
    {"a start not written as printed",
     {"events", kSite, "--label", "15-09-2026 22:15", "rain"},
     "--label takes an event's start as printed"},
    {"a kind other than rain, irrigation or unknown",
     {"events", kSite, "--label", kSecond, "hail"},
     "an event is rain, irrigation or unknown, not \"hail\""},
    {"a site that does not exist",
     {"events", "NONE_01", "--label", kSecond, "rain"},
     "NONE_01 has no header file"},
    {"a site without a data directory",
     {"events", "NOWHERE_01", "--label", kSecond, "rain"},
     "NOWHERE_01 names no data directory"},
    {"an events export over a labels file",
     {"export", kSite, "%ROOT%/TVMKDATA/SAMPLE SITE_01.evt", "--events"},
     "never written over a .evt file"},
};

class EventsRefusal : public EventsCli, public ::testing::WithParamInterface<Refusal> {};

TEST_P(EventsRefusal, SaysWhyAndChangesNoFile) {
  QStringList args = GetParam().args;
  args.replaceInStrings("%ROOT%", QString::fromStdString(root.Path().string()));
  const auto before = RootFiles(root.Path());
  ExpectCliRefuses(root.Path(), args, 1, GetParam().why);
  EXPECT_TRUE(RootFiles(root.Path()) == before);
}

INSTANTIATE_TEST_SUITE_P(Commands, EventsRefusal, ::testing::ValuesIn(kRefusals), ByGuards());

}  // namespace
}  // namespace pelvaro::testing
