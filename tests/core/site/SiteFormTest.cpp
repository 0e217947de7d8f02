#include "core/site/SiteForm.h"

#include <gtest/gtest.h>

#include "core/storage/StateFiles.h"
#include "support/ChangedFiles.h"
#include "support/FaultPlans.h"
#include "support/ScriptedPrompter.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

class SiteFormTest : public ::testing::Test {
 protected:
  SiteFormTest() : files(root.Path()) {
    fs::create_directories(root.Path() / "TVMKHEADER");
    fs::create_directories(root.Path() / "TVMKDATA");
  }
  static void Type(SiteForm& form, int row, const std::string& text) {
    form.EnterCell();
    // No key typed here is Enter, so each keeps the row, whatever it does to the cell.
    for (char c : text) EXPECT_EQ(form.TypeDetail(row, static_cast<unsigned char>(c)), row) << c;
  }
  static void TypeCell(SiteForm& form, int row, int column, const std::string& text) {
    form.EnterCell();
    for (char c : text) form.TypeCalibration(row, column, static_cast<unsigned char>(c));
  }
  // A new site as a user fills it in: one sensor at 30 cm.
  SiteForm NewNorthSite() {
    WriteSiteSelection(files, "", "", 1);
    SiteForm form(files, prompter, true);
    form.Load();
    Type(form, kSiteNameRow, "north");
    Type(form, kSiteNumberRow, "7");
    Type(form, kSerialNumberRow, "3001");
    form.SetOption(IdentificationOption::SiteName);
    form.SetMeasurementType("Percentage");
    form.Calibration().ChooseDepth(0, 30);
    TypeCell(form, 0, kOffsetColumn, "1000");
    TypeCell(form, 0, kSoilTypeColumn, "loam");
    return form;
  }
  SiteForm Edit(const std::string& id) {
    WriteSiteSelection(files, id, "TVMKDATA", 2);
    SiteForm form(files, prompter, false);
    form.Load();
    return form;
  }
  std::string LastText() const { return prompter.shown.empty() ? "" : prompter.shown.back().text; }

  TempRoot root;
  Files files;
  ScriptedPrompter prompter;
};

TEST_F(SiteFormTest, NewSiteIsNamedFromNameAndNumberAndLaterSavedAsTyped) {
  SiteForm form = NewNorthSite();
  EXPECT_EQ(form.Caption() + "|" + form.Detail(kSiteNameRow) + "|" + form.SiteIdentification(),
            "Create New Site File|NORTH|NORTH_07");
  ASSERT_EQ(form.Ok(), SiteForm::OkResult::Close);
  EXPECT_TRUE(prompter.shown.empty());
  const fs::path file = root.Path() / "TVMKHEADER" / "NORTH_07.key";
  ASSERT_EQ(fs::file_size(file), 14208u);
  // The next depth (record 49) was never used; nor were the last directory
  // entries (29 to 33) and record 9 before the first soil type.
  EXPECT_EQ(HeaderRecords(files, "NORTH_07",
                          {4, 5, 26, 44, 45, 46, 47, 48, 12, 49, 215, 114, 216, 219, 29, 33, 9}),
            "07|NORTH|TVMKDATA| 1000| 120| 100| 60|ON|LOAM|| 1|0|START IMMEDIATE|15|||");
  EXPECT_FALSE(fs::exists(root.Path() / "TVMKHEADER" / "NORTH_07.key.new"));

  // Editing: the number shows as "7", is stored as typed, the file keeps "_07";
  // a sensor at the last depth, 120 cm, is listed too.
  SiteHeader::Open(files, "NORTH_07").WriteCalibration(12, {1000, 120, 100, 60, "ON"});
  SiteHeader::Open(files, "NORTH_07").WriteRecord(header::kDepthSlotCount, "");  // a full probe
  // No directory list recorded: the site's own directory is listed.
  SiteHeader::Open(files, "NORTH_07").WriteRecord(header::kFirstDirectory, "");
  SiteForm edit = Edit("NORTH_07");
  EXPECT_EQ(edit.Directories().Entries()[0], "TVMKDATA");
  EXPECT_EQ(edit.Calibration().Row(0).depth, 30);
  EXPECT_EQ(edit.Calibration().Row(1).depth, 120);
  EXPECT_EQ(edit.Caption(), "Edit Site File");
  EXPECT_EQ(edit.Detail(kSiteNumberRow), "7");
  EXPECT_EQ(edit.Option(), IdentificationOption::SiteName);
  Type(edit, kRootZoneRow, "500");
  edit.Calibration().ChooseDepth(0, 40);  // the sensor moved: 30 cm is no longer used
  EXPECT_EQ(edit.Ok(), SiteForm::OkResult::Close);
  EXPECT_EQ(prompter.shown.back().title, "DATA FILE UPDATE");
  EXPECT_EQ(HeaderRecords(files, "NORTH_07", {4, 7, 216, 48, 53, 93, 6}),
            "7|500|START IMMEDIATE|OFF|ON|ON|12");
  EXPECT_EQ(ReadBytes(root.Path() / "Sitesel.dat"), "NORTH_07\r\nTVMKDATA\r\n");
}

TEST_F(SiteFormTest, SiteDataIsCheckedRowByRowInOrder) {
  SiteForm form = NewNorthSite();
  struct Case {
    int row;
    std::string value;
    std::string title;
    std::string text;
  };
  const Case cases[] = {
      {kSiteNameRow, "", "Site Name", "Site name is required."},
      {kSiteNameRow, "1234", "Invalid Site Name", "Site name should contain at least one letter."},
      {kSiteNameRow, "A/B", "Invalid Site Name", "Site name cannot be used as a file name."},
      {kSiteNameRow, "Z1", "", ""},
      {kSiteNumberRow, "0", "Site Number", "Site number is not valid."},
      {kSiteNumberRow, ".5", "Site Number", "Site number should be a non zero value."},
      {kSiteNumberRow, "256", "Site Number", "Site number should be a value between 0 and 256."},
      {kSiteNumberRow, "255", "", ""},
      {kDataDirectoryRow, "", "Data Directory", "Data directory is required."},
      {kDataDirectoryRow, "2024", "Invalid Data Directory Name",
       "Data directory should contain at least one letter."},
      {kDataDirectoryRow, "TVMKDATA", "", ""},
      {kSerialNumberRow, "", "Logger Serial Number", "Logger serial number is required."},
      {kSerialNumberRow, "99", "Logger Serial Number", "Logger serial number is not valid."},
      {kSerialNumberRow, "65536", "Logger Serial Number", "Logger serial number is not valid."},
      {kSerialNumberRow, "100", "", ""},
      {kSerialNumberRow, "65535", "", ""},
      {kRootZoneRow, "99", "Root Feeder Zone",
       "Root feeder zone is lower than the minimum measuring depth 100 mm."},
      {kRootZoneRow, "1201", "Root Feeder Zone",
       "Root feeder zone exceeds the maximum measuring depth 1200 mm."},
      {kRootZoneRow, "100", "", ""},
      {kRootZoneRow, "1200", "", ""},
      {kRootZoneRow, "", "", ""},
  };
  for (const Case& c : cases) {
    form.SetDetail(c.row, c.value);
    prompter.shown.clear();
    EXPECT_EQ(form.ValidateSiteData(), c.text.empty()) << c.value;
    EXPECT_EQ(LastText(), c.text) << c.value;
    if (!c.title.empty()) {
      ASSERT_FALSE(prompter.shown.empty()) << c.value;
      EXPECT_EQ(prompter.shown.back().title, c.title);
    }
  }
  SiteForm untyped(files, prompter, true);
  untyped.Load();
  for (int row = 0; row < kDetailRows; ++row) {
    untyped.SetDetail(row, form.Detail(row));
  }
  EXPECT_FALSE(untyped.ValidateSiteData());
  EXPECT_EQ(LastText(), "Select a measurement type");
}

TEST_F(SiteFormTest, TypingRulesOfTheDetailsGrid) {
  WriteSiteSelection(files, "", "", 1);
  SiteForm form(files, prompter, true);
  form.Load();
  EXPECT_EQ(form.Detail(kDataDirectoryRow), "TVMKDATA");
  struct Case {
    int row;
    std::string keys;
    std::string shown;
  };
  const Case cases[] = {
      {kSiteNameRow, "a/b\\c:d*e?f\"g<h>i|j.\x7f\x1f", "ABCDEFGHIJ."},  // no file-name breakers
      {kSiteNameRow, "..x..y", "X.Y"},  // no name of dots, no two in a row
      {kSiteNameRow, "a very long site name", "A VERY LONG SIT "},  // a space is never counted
      {kSiteNumberRow, "1a-23", "12"},                              // digits only, two at most
      {kSiteNumberRow, "12\b", "1"},
      {kDataDirectoryRow, "dir/..2026 north", "DIR.2026 N"},  // one dot, none after it
      {kSerialNumberRow, "1234567", "12345"},
      {kRootZoneRow, "123456", "1234"},
  };
  for (const Case& c : cases) {
    Type(form, c.row, c.keys);
    EXPECT_EQ(form.Detail(c.row), c.shown) << c.keys;
  }
  // The first key after entering a cell replaces it; the keys after it append.
  Type(form, kSerialNumberRow, "42");
  EXPECT_EQ(form.Detail(kSerialNumberRow), "42");
  EXPECT_EQ(form.TypeDetail(kSerialNumberRow, 13), kRootZoneRow);
  EXPECT_EQ(form.TypeDetail(kRootZoneRow, 13), kRootZoneRow);
  // Enter in the calibration grid moves down to the last sensor row and stays.
  EXPECT_EQ(form.TypeCalibration(kSensorRows - 2, kOffsetColumn, 13), kSensorRows - 1);
  EXPECT_EQ(form.TypeCalibration(kSensorRows - 1, kOffsetColumn, 13), kSensorRows - 1);
  EXPECT_EQ(form.TypeCalibration(3, kOffsetColumn, '5'), 3);  // other keys stay
  Type(form, kSiteNumberRow, "12");
  form.SetOption(IdentificationOption::SerialNumber);
  EXPECT_EQ(form.SiteIdentification(), "42_12");
}

TEST_F(SiteFormTest, NothingIsWrittenWithoutAChangeAnAnswerOrAnIdentification) {
  SiteForm blank = NewNorthSite();
  blank.SetOption(IdentificationOption::None);
  EXPECT_EQ(blank.Ok(), SiteForm::OkResult::Stay);
  EXPECT_TRUE(prompter.shown.empty());
  EXPECT_TRUE(Files::List(root.Path() / "TVMKHEADER", "*").empty());

  ASSERT_EQ(NewNorthSite().Ok(), SiteForm::OkResult::Close);
  const std::string before = ReadBytes(root.Path() / "TVMKHEADER" / "NORTH_07.key");
  SiteForm unchanged = Edit("NORTH_07");
  EXPECT_EQ(unchanged.Ok(), SiteForm::OkResult::Close);
  EXPECT_TRUE(prompter.shown.empty());
  SiteForm declined = Edit("NORTH_07");
  Type(declined, kRootZoneRow, "300");
  prompter.answers = {Answer::No};
  EXPECT_EQ(declined.Ok(), SiteForm::OkResult::Close);
  EXPECT_EQ(ReadBytes(root.Path() / "TVMKHEADER" / "NORTH_07.key"), before);
  // A second site of the same identification is refused.
  SiteForm again = NewNorthSite();
  EXPECT_EQ(again.Ok(), SiteForm::OkResult::Stay);
  EXPECT_EQ(LastText(), "Site file already exists with the selected site file identification.");
}

// A header that cannot be written, or a selection that cannot be used, is said.
TEST_F(SiteFormTest, FailuresAreSaidAndTheFormStays) {
  ASSERT_EQ(NewNorthSite().Ok(), SiteForm::OkResult::Close);
  const std::string before = ReadBytes(root.Path() / "TVMKHEADER" / "NORTH_07.key");
  SiteForm form = Edit("NORTH_07");
  Type(form, kRootZoneRow, "300");
  FaultAt fail(FaultAt::Mode::Fail, "rename NORTH_07.key");
  {
    InstalledPlan plan(fail);
    EXPECT_EQ(form.Ok(), SiteForm::OkResult::Stay);
  }
  EXPECT_EQ(LastText().rfind("An error occurred while editing the site file.The error is ", 0), 0u);
  EXPECT_EQ(ReadBytes(root.Path() / "TVMKHEADER" / "NORTH_07.key"), before);

  WriteBytes(root.Path() / "Sitesel.dat", "../NORTH_07\r\nTVMKDATA\r\n 2\r\n");
  SiteForm unsafe(files, prompter, false);
  unsafe.Load();
  EXPECT_EQ(prompter.shown.back().title, "Site File Error");
  EXPECT_EQ(unsafe.Detail(kSiteNameRow), "");
}

// The feeder zone, typed as 500 over a header last written elsewhere (300) or by the form (400).
TEST_F(SiteFormTest, OkWritesOnlyOverTheHeaderTheFormRead) {
  struct Case {
    const char* name;
    bool elsewhere;
    Answer answer;  // to the question about the changed file
    SiteForm::OkResult result;
    const char* shown;
    const char* stored;
  };
  using R = SiteForm::OkResult;
  const Case cases[] = {
      {"changed elsewhere, No: what was typed stays", true, Answer::No, R::Stay, "500", "300"},
      {"changed elsewhere, Yes: the header as it now is", true, Answer::Yes, R::Stay, "300", "300"},
      {"saved by the form itself: saved again", false, Answer::Yes, R::Close, "500", "500"}};
  ASSERT_EQ(NewNorthSite().Ok(), SiteForm::OkResult::Close);
  const fs::path file = root.Path() / "TVMKHEADER" / "NORTH_07.key";
  const std::string created = ReadBytes(file);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(file, created);
    SiteForm form = Edit("NORTH_07");
    Files other(root.Path());
    if (c.elsewhere) {
      SiteHeader::Open(other, "NORTH_07").WriteRecord(header::kRootZone, "300");
    } else {
      Type(form, kRootZoneRow, "400");
      prompter.answers = {Answer::Yes};
      ASSERT_EQ(form.Ok(), SiteForm::OkResult::Close);
    }
    const auto before = RootFiles(root.Path());
    Type(form, kRootZoneRow, "500");
    prompter.answers = {Answer::Yes, c.answer};
    EXPECT_EQ(form.Ok(), c.result);
    if (c.elsewhere) {
      EXPECT_EQ(LastQuestion(prompter), FileChangedQuestion("NORTH_07.key"));
      EXPECT_EQ(RootFiles(root.Path()), before);
    }
    EXPECT_EQ(form.Detail(kRootZoneRow) + "|" + HeaderRecords(files, "NORTH_07", {7}),
              std::string(c.shown) + "|" + c.stored);
  }
}

TEST_F(SiteFormTest, StoredBlocksFreezeTheIdentification) {
  SiteBuilder site(files, "3001_07");
  site.Header({{1, 1000, 100, 40, 20}}, 2);
  site.Identity("WEST", "07", "3001");
  site.Set({{header::kFirstDirectory, "OLD"}, {header::kFirstDirectory + 1, "TVMKDATA"}});
  site.Block(1, {100, 0, 900, 1, {700, 690}});
  site.Block(2, {101, 0, 900, 1, {680, 670}});
  SiteForm form = Edit("3001_07");
  EXPECT_EQ(form.Option(), IdentificationOption::SerialNumber);
  EXPECT_EQ(form.Directories().Entries()[0] + form.Directories().Entries()[1], "OLDTVMKDATA");
  EXPECT_TRUE(form.BlocksExist());
  EXPECT_FALSE(form.Calibration().Row(0).listEnabled);
  form.ClickCalibration(0, kOnOffColumn);
  EXPECT_EQ(form.Calibration().Row(0).cells[kOnOffColumn], "ON");
  EXPECT_EQ(form.Hint(),
            "Hint:Data blocks exist for this site file.Profile depth cannot be removed.");
  Type(form, kSiteNameRow, "EAST");
  EXPECT_EQ(form.Ok(), SiteForm::OkResult::Stay);
  EXPECT_EQ(LastText(),
            "Site file identification cannot be changed.\r\nSaved data blocks exist for this site "
            "file.");
  Type(form, kSiteNameRow, "WEST");
  Type(form, kSiteNumberRow, "8");
  EXPECT_EQ(form.Ok(), SiteForm::OkResult::Stay);
  EXPECT_EQ(LastText().substr(0, 43), "Site file identification cannot be changed.");

  // The feeder zone and the calibration may change: both blocks are converted again.
  SiteForm zone = Edit("3001_07");
  Type(zone, kRootZoneRow, "600");
  zone.Calibration().MutableRow(0).cells[kSlopeColumn] = "50";
  EXPECT_EQ(zone.Ok(), SiteForm::OkResult::Close);
  EXPECT_EQ(HeaderRecords(files, "3001_07", {7, 115}), "600|2");  // the index rebuilt
  const auto graph = RecordsOf(root.Path() / "TVMKDATA" / "3001_07.BGF", 56);
  ASSERT_EQ(graph.size(), 22u);
  EXPECT_EQ(graph[12], " 60.00 40.00-20.00");  // (1000 - 700) * 10 / 50
}

TEST_F(SiteFormTest, RenamingWithoutBlocksMovesTheHeaderAndSiteWithoutBlocksLosesItsGraph) {
  ASSERT_EQ(NewNorthSite().Ok(), SiteForm::OkResult::Close);
  WriteBytes(root.Path() / "TVMKDATA" / "SOUTH_07.BGF", "stale");
  WriteBytes(root.Path() / "TVMKDATA" / "SOUTH_07.Pct", "stale");
  SiteHeader::Open(files, "NORTH_07").WriteRecord(header::kStartMode, "TIMED START");
  SiteForm form = Edit("NORTH_07");
  Type(form, kSiteNameRow, "south");
  EXPECT_EQ(form.Ok(), SiteForm::OkResult::Close);
  EXPECT_FALSE(fs::exists(root.Path() / "TVMKHEADER" / "NORTH_07.key"));
  EXPECT_EQ(HeaderRecords(files, "SOUTH_07", {5, 216}), "SOUTH|TIMED START");  // 216 kept
  EXPECT_FALSE(fs::exists(root.Path() / "TVMKDATA" / "SOUTH_07.BGF"));
  EXPECT_FALSE(fs::exists(root.Path() / "TVMKDATA" / "SOUTH_07.Pct"));

  // With serial-number identification, a new name keeps the same file.
  SiteBuilder serial(files, "4000_01");
  serial.Header({{2, 1000, 100, 40, 20}}, 0);
  serial.Identity("OLD", "01", "4000", "Volumetric");
  SiteForm byNumber = Edit("4000_01");
  Type(byNumber, kSiteNameRow, "NEW NAME");
  EXPECT_EQ(byNumber.Ok(), SiteForm::OkResult::Close);
  EXPECT_EQ(HeaderRecords(files, "4000_01", {5}), "NEW NAME");

  // A rename onto an existing site: Retry stays, Cancel closes, neither writes.
  SiteForm clash = Edit("4000_01");
  clash.SetOption(IdentificationOption::SiteName);
  Type(clash, kSiteNameRow, "south");
  Type(clash, kSiteNumberRow, "7");
  prompter.answers = {Answer::Yes, Answer::Retry};
  EXPECT_EQ(clash.Ok(), SiteForm::OkResult::Stay);
  EXPECT_EQ(prompter.shown.back().title, "DUPLICATE SITE IDENTIFICATION");
  EXPECT_EQ(prompter.shown.back().text,
            "Site File already exist with this site name and site number");
  prompter.answers = {Answer::Yes, Answer::Cancel};
  EXPECT_EQ(clash.Ok(), SiteForm::OkResult::Close);
  EXPECT_EQ(HeaderRecords(files, "SOUTH_07", {5}), "SOUTH");
  EXPECT_TRUE(fs::exists(root.Path() / "TVMKHEADER" / "4000_01.key"));
}

}  // namespace
}  // namespace pelvaro::testing
