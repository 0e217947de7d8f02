// What Windows users meet: names beyond ASCII, crash leftovers, device names. Run on both.
#include <gtest/gtest.h>

#include <set>

#include "core/export/SeasonExport.h"
#include "core/operations/Conversion.h"
#include "core/platform/WriterLock.h"
#include "core/shell/MainMenu.h"
#include "core/shell/SiteCatalogue.h"
#include "core/shell/Startup.h"
#include "core/site/SiteForm.h"
#include "core/storage/StateFiles.h"
#include "support/DownloadRig.h"
#include "support/Environment.h"
#include "support/RowNames.h"

namespace pelvaro::testing {
namespace {

constexpr char kSite[] = "Caf\xE9";        // Café
constexpr char kDirectory[] = "\x8CUVRE";  // ŒUVRE
constexpr char kIdentification[] = "Caf\xE9_02";

// A new site of one sensor at 10 cm with an offset typed in, as the site window takes it.
void NewSite(SiteForm& form, const std::string& name, const std::string& number,
             const std::string& directory) {
  form.Load();
  form.SetDetail(kSiteNameRow, name);
  form.SetDetail(kSiteNumberRow, number);
  form.SetDetail(kDataDirectoryRow, directory);
  form.SetDetail(kSerialNumberRow, "3001");
  form.SetOption(IdentificationOption::SiteName);
  form.SetMeasurementType("Percentage");
  form.Calibration().ChooseDepth(0, 10);
  form.EnterCell();
  for (char c : std::string("4000")) form.TypeCalibration(0, kOffsetColumn, c);
}

// Every file and folder below `folder`, so what a failed write leaves behind shows.
std::set<fs::path> Tree(const fs::path& folder) {
  std::set<fs::path> tree;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    tree.insert(fs::relative(entry.path(), folder));
  }
  return tree;
}

TEST(WindowsNames, AHomeSiteAndDataDirectoryBeyondAsciiWorkThroughoutDeviceNamesDoNot) {
  TempRoot tmp;
  const fs::path home = tmp.Path() / fs::path(u8"J\u00fcrgen");
  fs::create_directories(home);
  const ScopedEnvironment profile("USERPROFILE", home);
  StartupEnvironment env = StartupEnvironment::FromProcess(tmp.Path() / "bin", {});
  env.currentFolder = tmp.Path();
  ScriptedPrompter prompter;
  const StartupResult started = RunStartup(env, prompter);
  ASSERT_EQ(started.workingRoot, home / "Pelvaro Data");
  EXPECT_EQ(ReadBytes(home / "Pelvaro Data" / "START.DAT"), "NO\r\n");
  const Files files(started.workingRoot);

  // Create, as the site window does.
  WriteSiteSelection(files, "", "", 1);
  {
    SiteForm form(files, prompter, true);
    NewSite(form, kSite, "2", kDirectory);
    ASSERT_EQ(form.Ok(), SiteForm::OkResult::Close) << prompter.shown.back().text;
  }
  // Explorer's names; on Linux the stored bytes, so older working roots stay readable.
#ifdef _WIN32
  const fs::path header = fs::path(u8"TVMKHEADER/Caf\u00e9_02.key");
  const fs::path data = fs::path(u8"\u0152UVRE");
#else
  const fs::path header = fs::path("TVMKHEADER/Caf\xE9_02.key");
  const fs::path data = fs::path(kDirectory);
#endif
  EXPECT_TRUE(fs::is_regular_file(files.Root() / header));
  EXPECT_TRUE(fs::is_directory(files.Root() / data));

  SiteBuilder(files, kIdentification, kDirectory)
      .Block(1, {11300, 36000, 900, 1, {3000, 3010, 3020, 3030}, std::nullopt, 2});

  // Reopen and save: the load counts the block, the save keeps it.
  WriteSiteSelection(files, kIdentification, kDirectory, 2);
  {
    SiteForm form(files, prompter, false);
    form.Load();
    EXPECT_EQ(form.Detail(kSiteNameRow), kSite);
    EXPECT_EQ(form.Detail(kDataDirectoryRow), kDirectory);
    form.SetDetail(kRootZoneRow, "500");
    ASSERT_EQ(form.Ok(), SiteForm::OkResult::Close) << prompter.shown.back().text;
  }

  // List and click, as the main window does, then convert and export.
  ASSERT_EQ(ListSites(files), std::vector<std::string>{std::string(kIdentification) + ".key"});
  const auto clicked = ClickSite(files, prompter, ListSites(files)[0]);
  ASSERT_TRUE(clicked.has_value()) << prompter.shown.back().text;
  EXPECT_EQ(clicked->identification, kIdentification);
  ASSERT_TRUE(ConvertSite(files, prompter, kIdentification, kDirectory));
  const fs::path csv = home / fs::path(u8"Caf\u00e9 season.csv");
  EXPECT_EQ(ExportSeason(files, {kIdentification, std::nullopt, {}, ExportFormat::Csv}, csv), 4u);
  EXPECT_NE(ReadBytes(MetaPath(csv)).find("\"site\": \"Caf\xC3\xA9_02\""), std::string::npos);

  const fs::path block = data / (header.stem() += "_001");
  std::set<fs::path> expected = {"TVMKHEADER", header,        "TVMKDATA",   data,
                                 "START.DAT",  "Sitesel.dat", kLockFileName};
  for (const char* ext : {".DAT", ".KEY"}) expected.insert(fs::path(block) += ext);
  for (const char* ext : {".BGF", ".Pct"}) expected.insert(data / (header.stem() += ext));
  EXPECT_EQ(Tree(files.Root()), expected);

  // A site may be called CON, its file CON_01.key, but not its data directory; nor may a
  // header made elsewhere send a click to AUX.
  WriteSiteSelection(files, "", "", 1);
  SiteForm form(files, prompter, true);
  NewSite(form, "CON", "1", "NUL");
  EXPECT_FALSE(form.ValidateSiteData());
  EXPECT_EQ(prompter.shown.back().title, "Invalid Data Directory Name");
  form.SetDetail(kDataDirectoryRow, "FIELD");
  EXPECT_EQ(form.Ok(), SiteForm::OkResult::Close);
  EXPECT_TRUE(fs::is_regular_file(files.Root() / "TVMKHEADER" / "CON_01.key"));
  SiteHeader::Open(files, "CON_01").WriteRecord(header::kDataDirectory, "AUX");
  prompter.shown.clear();
  EXPECT_FALSE(ClickSite(files, prompter, "CON_01.key").has_value());
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_NE(prompter.shown[0].text.find("\"AUX\""), std::string::npos);
}

// A download stores its block whatever a crash left beside the files it writes.
TEST(WindowsNames, ADownloadWritesOverWhatACrashLeft) {
  const std::vector<std::vector<const char*>> leftovers = {
      {"TVMKHEADER/FARM_01.key.new"},
      {"Sitesel.dat.new"},
      {"TVMKDATA/FARM_01_001.KEY.part"},
      {"TVMKDATA/FARM_01_001.KEY.part", "TVMKDATA/FARM_01_001.DAT.part"}};
  for (const auto& stale : leftovers) {
    DownloadRig rig;
    for (const char* name : stale) WriteBytes(rig.root.Path() / name, "stale");
    const auto memory = DownloadRig::Memory(6);
    EXPECT_EQ(rig.RunDownload(memory).outcome, DownloadOutcome::Stored) << stale[0] << rig.Shown();
    EXPECT_EQ(rig.Blocks(), std::vector{DownloadRig::AsStored(memory)}) << stale[0];
    EXPECT_EQ(rig.HeaderRecord(header::kFirstBlockSlot), "1") << stale[0];
    for (const char* name : stale) EXPECT_FALSE(fs::exists(rig.root.Path() / name)) << name;
  }
}

// Letters beyond ASCII take their capitals as Windows gives them; what has none stays.
struct CaseRow {
  const char* guards;
  char small;
  char capital;
};

class CodePageCase : public ::testing::TestWithParam<CaseRow> {};

TEST_P(CodePageCase, UpperAndLowerArePartners) {
  EXPECT_EQ(Cp1252Upper(GetParam().small), GetParam().capital);
  EXPECT_EQ(Cp1252Lower(GetParam().capital), GetParam().small);
}

INSTANTIATE_TEST_SUITE_P(
    WindowsNames, CodePageCase,
    ::testing::Values(
        CaseRow{"a ascii letter", 'a', 'A'}, CaseRow{"u with diaeresis", '\xFC', '\xDC'},
        CaseRow{"e with acute", '\xE9', '\xC9'},
        CaseRow{"a with grave, the first of the block", '\xE0', '\xC0'},
        CaseRow{"thorn, the last of the block", '\xFE', '\xDE'},
        CaseRow{"oe ligature", '\x9C', '\x8C'}, CaseRow{"s with caron", '\x9A', '\x8A'},
        CaseRow{"z with caron", '\x9E', '\x8E'}, CaseRow{"y with diaeresis", '\xFF', '\x9F'},
        CaseRow{"sharp s has no capital", '\xDF', '\xDF'},
        CaseRow{"division sign is no letter", '\xF7', '\xF7'},
        CaseRow{"multiplication sign is no letter", '\xD7', '\xD7'},
        CaseRow{"micro sign stays", '\xB5', '\xB5'}, CaseRow{"a digit stays", '7', '7'}),
    ByGuards{});

// A name typed in small letters is stored in capitals, and a sixteenth letter is refused aloud.
TEST(WindowsNames, ASiteNameIsTypedInCapitalsAndItsLengthIsSaid) {
  TempRoot root;
  Files files(root.Path());
  ScriptedPrompter prompter;
  SiteForm form(files, prompter, true);
  form.Load();
  form.EnterCell();
  const auto type = [&](const std::string& keys) {
    for (const char c : keys) form.TypeDetail(kSiteNameRow, static_cast<unsigned char>(c));
  };
  type("m\xFCller s\xFC\x64 \x9C\x9A\xFF");
  EXPECT_EQ(form.Detail(kSiteNameRow), "M\xDCLLER S\xDC\x44 \x8C\x8A\x9F");
  EXPECT_EQ(form.Hint(), "");
  type("abcd");
  EXPECT_EQ(form.Detail(kSiteNameRow),
            "M\xDCLLER S\xDC\x44 \x8C\x8A\x9F"
            "A");
  EXPECT_EQ(form.Hint(), kSiteNameFull);
}

// Windows finds a file whatever the case of its letters, beyond ASCII too.
TEST(WindowsNames, NamesDifferingOnlyInTheCaseOfAccentedLettersAreOneName) {
  EXPECT_TRUE(Files::SameNameIgnoringCase("M\xDCLLER_01.KEY", "m\xFCller_01.key"));
  EXPECT_FALSE(Files::SameNameIgnoringCase("M\xDCLLER_01.KEY", "MULLER_01.KEY"));
}

}  // namespace
}  // namespace pelvaro::testing
