// A site's labels file: what it refuses to read, what a note becomes, and that neither another
// writer, a failed read nor a save cut short costs a label.
#include "core/events/EventLabels.h"

#include <gtest/gtest.h>

#include "core/events/EventTable.h"
#include "support/FaultPlans.h"
#include "support/RowNames.h"
#include "support/ScriptedPrompter.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

// Its label starts at the last second of a day, which is a start.
constexpr char kGoodLines[] = "# a comment\n2026-09-07T23:59:59\train\tfirst\n";

struct DamagedLine {
  const char* guards;
  std::string line;  // the third line of the file
};

const DamagedLine kDamaged[] = {
    {"a start without a kind", "2026-09-08T10:00:00"},
    {"a fourth field", "2026-09-08T10:00:00\train\tnote\tmore"},
    {"spaces where a tab belongs", "2026-09-08T10:00:00 rain"},
    {"a start without seconds", "2026-09-08T10:00\train"},
    {"a day the calendar lacks", "2026-02-29T10:00:00\train"},
    {"an hour of 24", "2026-09-08T24:00:00\train"},
    {"a letter in the year", "202x-09-08T10:00:00\train"},
    {"a letter in the month", "2026-0x-08T10:00:00\train"},
    {"a letter in the day", "2026-09-0xT10:00:00\train"},
    {"a letter in the hour", "2026-09-08T1x:00:00\train"},
    {"a letter in the minutes", "2026-09-08T10:0x:00\train"},
    {"a letter in the seconds", "2026-09-08T10:00:0x\train"},
    {"a kind in capitals", "2026-09-08T10:00:00\tRain"},
    {"a kind the program does not know", "2026-09-08T10:00:00\tsnow"},
    {"a note in Windows-1252", "2026-09-08T10:00:00\train\tcaf\xE9"},
    {"a note ending inside a character", "2026-09-08T10:00:00\train\tcaf\xC3"},
    {"a note with an overlong character", "2026-09-08T10:00:00\train\t\xC0\xAF"},
    {"a note with a surrogate", "2026-09-08T10:00:00\train\t\xED\xA0\x80"},
    {"a note with the last surrogate", "2026-09-08T10:00:00\train\t\xED\xBF\xBF"},
    {"a start labelled a second time", "2026-09-07T23:59:59\tirrigation"},
};

class DamagedLabels : public ::testing::TestWithParam<DamagedLine> {};

TEST_P(DamagedLabels, AreRefusedNamingTheLine) {
  TempRoot root;
  const fs::path path = root.Path() / "FARM_01.EVT";
  WriteBytes(path, kGoodLines + GetParam().line + "\n");
  try {
    EventLabels::Read(path);
    ADD_FAILURE() << "read as labels";
  } catch (const DamagedFileError& e) {
    EXPECT_NE(std::string(e.what()).find("line 3 "), std::string::npos) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(Lines, DamagedLabels, ::testing::ValuesIn(kDamaged), ByGuards());

struct Note {
  const char* guards;
  std::string typed;
  std::optional<std::string> kept;
};

const Note kNotes[] = {
    {"tabs and line breaks become spaces",
     "a\tb\r\nc\x7F"
     "d",
     "a b  c d"},
    {"outer spaces go", "  drip line 3  ", "drip line 3"},
    {"C1 control characters become spaces",
     "a\xC2\x9B"
     "b\xC2\xA0"
     "c",
     "a b\xC2\xA0"
     "c"},
    {"Windows-1252 text becomes UTF-8", "caf\xE9 \x80 5", "caf\xC3\xA9 \xE2\x82\xAC 5"},
    {"UTF-8 text stays as typed", "R\xC3\xA9gion \xE2\x80\x94 \xF0\x9F\x8C\xA7",
     "R\xC3\xA9gion \xE2\x80\x94 \xF0\x9F\x8C\xA7"},
    {"spaces and tabs alone are no note", " \t\n ", std::nullopt},
    {"a longer note keeps the character that ends at the limit",
     std::string(1998, 'a') + "\xC3\xA9"
                              "b",
     std::string(1998, 'a') + "\xC3\xA9"},
    {"a longer note is cut before the character that crosses the limit",
     std::string(1999, 'a') + "\xC3\xA9", std::string(1999, 'a')},
};

class NoteRoundTrip : public ::testing::TestWithParam<Note> {};

TEST_P(NoteRoundTrip, ReadsBackAsCleaned) {
  TempRoot root;
  const fs::path path = root.Path() / "FARM_01.EVT";
  EventLabels labels = EventLabels::Read(path);
  const EventLabel label{"2026-09-07T10:00:00", EventKind::Rain, CleanNote(GetParam().typed)};
  EXPECT_EQ(label.note, GetParam().kept);
  labels.Set(label);
  ASSERT_TRUE(labels.Save());
  EXPECT_EQ(EventLabels::Read(path).All(), std::vector<EventLabel>{label});
}

INSTANTIATE_TEST_SUITE_P(Notes, NoteRoundTrip, ::testing::ValuesIn(kNotes), ByGuards());

// What a label set on an event leaves in the file.
struct Setting {
  const char* guards;
  EventKind kind;
  std::optional<std::string> note;
  bool kept;
};

const Setting kSettings[] = {
    {"unknown without a note drops the label", EventKind::Unknown, std::nullopt, false},
    {"unknown with a note keeps the note", EventKind::Unknown, "no meter reading", true},
    {"a kind without a note is kept", EventKind::Irrigation, std::nullopt, true},
};

class LabelSetting : public ::testing::TestWithParam<Setting> {};

TEST_P(LabelSetting, LeavesTheLabelOnlyWhenItSaysSomething) {
  TempRoot root;
  const fs::path path = root.Path() / "FARM_01.EVT";
  WriteBytes(path, kGoodLines);
  EventLabels labels = EventLabels::Read(path);
  const EventLabel label{"2026-09-07T23:59:59", GetParam().kind, GetParam().note};
  labels.Set(label);
  ASSERT_TRUE(labels.Save());
  const std::vector<EventLabel> expected =
      GetParam().kept ? std::vector<EventLabel>{label} : std::vector<EventLabel>{};
  EXPECT_EQ(EventLabels::Read(path).All(), expected);
}

INSTANTIATE_TEST_SUITE_P(Settings, LabelSetting, ::testing::ValuesIn(kSettings), ByGuards());

struct OtherWriter {
  const char* guards;
  std::optional<std::string> before;  // the file when it was read; nothing: no file
  std::optional<std::string> after;   // the file when the save comes
};

const OtherWriter kOtherWriters[] = {
    {"a file created since the labels were read", std::nullopt, kGoodLines},
    {"a file changed since the labels were read", kGoodLines, "2026-09-07T10:00:00\tirrigation\n"},
    {"a file removed since the labels were read", kGoodLines, std::nullopt},
};

class SaveAfterOtherWriter : public ::testing::TestWithParam<OtherWriter> {};

TEST_P(SaveAfterOtherWriter, IsRefusedWritingNothing) {
  TempRoot root;
  const fs::path path = root.Path() / "FARM_01.EVT";
  if (GetParam().before) WriteBytes(path, *GetParam().before);
  EventLabels labels = EventLabels::Read(path);
  fs::remove(path);
  if (GetParam().after) WriteBytes(path, *GetParam().after);
  labels.Set({"2026-09-08T10:00:00", EventKind::Irrigation, "mine"});
  EXPECT_FALSE(labels.Save());
  EXPECT_EQ(fs::exists(path) ? std::optional(ReadBytes(path)) : std::nullopt, GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(Writers, SaveAfterOtherWriter, ::testing::ValuesIn(kOtherWriters),
                         ByGuards());

TEST(EventLabelsFile, SavedWithAByteOrderMarkReadsItsLabels) {
  TempRoot root;
  const fs::path path = root.Path() / "FARM_01.EVT";
  WriteBytes(path, std::string("\xEF\xBB\xBF") + kGoodLines);
  const std::vector<EventLabel> expected = {{"2026-09-07T23:59:59", EventKind::Rain, "first"}};
  EXPECT_EQ(EventLabels::Read(path).All(), expected);
}

// Their events show as unknown, and no edit can be saved over the file.
TEST(EventTable, LabelsThatCannotBeReadTakeNoEdit) {
  TempRoot root;
  const fs::path path = root.Path() / "X_01.EVT";
  WriteBytes(path, std::string(kGoodLines) + "2026-09-08T10:00:00\tsnow\n");
  EventTable table;
  table.Load(std::vector<WettingEvent>(1), path);
  ASSERT_FALSE(table.Editable());
  ASSERT_EQ(table.List().events.size(), 1u);
  EXPECT_FALSE(table.SetKind(0, EventKind::Rain));
  EXPECT_FALSE(table.SetNote(0, "first"));
  EXPECT_EQ(table.List().events[0].kind, EventKind::Unknown);
  EXPECT_FALSE(table.Changed());
}

TEST(EventTable, AnEditPastTheLastEventIsRefused) {
  TempRoot root;
  EventTable table;
  table.Load(std::vector<WettingEvent>(1), root.Path() / "X_01.EVT");
  ASSERT_TRUE(table.Editable());
  EXPECT_FALSE(table.SetKind(1, EventKind::Rain));
  EXPECT_FALSE(table.SetNote(1, "first"));
  EXPECT_FALSE(table.Changed());
}

// Refused, not declined: a window closing on a declined save would drop the edit.
TEST(EventTable, ASaveOverAnotherProgramsLabelsNotReloadedIsRefusedAndKeepsTheEdit) {
  TempRoot root;
  const Files files(root.Path());
  const fs::path path = root.Path() / "X_01.EVT";
  EventTable table;
  table.Load(std::vector<WettingEvent>(1), path);
  ASSERT_TRUE(table.SetKind(0, EventKind::Rain));
  WriteBytes(path, kGoodLines);
  ScriptedPrompter prompter;
  prompter.answers = {Answer::No};
  EXPECT_EQ(table.Save(files, prompter, false), EventTable::SaveResult::Refused);
  EXPECT_TRUE(table.Changed());
  EXPECT_EQ(table.List().events[0].kind, EventKind::Rain);
  EXPECT_EQ(ReadBytes(path), kGoodLines);
}

TEST(EventLabelsFaults, AFailedOpenOrReadIsAnErrorNeverNoLabels) {
  TempRoot root;
  const fs::path path = root.Path() / "FARM_01.EVT";
  WriteBytes(path, kGoodLines);
  FaultAt counter(FaultAt::Mode::Count, 0, FaultAt::Kinds::Reads);
  {
    InstalledPlan counting(counter);
    ASSERT_EQ(EventLabels::Read(path).All().size(), 1u);
  }
  ASSERT_GE(counter.count, 2) << "an open and a read";
  for (const FaultAt::Mode mode : {FaultAt::Mode::Fail, FaultAt::Mode::Die}) {
    for (int k = 1; k <= counter.count; ++k) {
      FaultAt plan(mode, k, FaultAt::Kinds::Reads);
      InstalledPlan faulty(plan);
      EXPECT_THROW(EventLabels::Read(path), IoError) << counter.ops[k - 1];
    }
  }
}

TEST(EventLabelsFaults, ASaveCutAtAnyStepLeavesTheOldLabelsOrTheNew) {
  TempRoot root;
  const fs::path path = root.Path() / "FARM_01.EVT";
  WriteBytes(path, kGoodLines);
  const auto WithSecond = [&path] {
    EventLabels labels = EventLabels::Read(path);
    labels.Set({"2026-09-08T10:00:00", EventKind::Irrigation, "second"});
    return labels;
  };
  const std::vector<EventLabel> old = EventLabels::Read(path).All();
  const std::vector<EventLabel> fresh = WithSecond().All();
  FaultAt counter;
  {
    InstalledPlan counting(counter);
    ASSERT_TRUE(WithSecond().Save());
  }
  ASSERT_GE(counter.count, 3) << "a sibling written, synced and renamed";
  ExpectDurableOrder(counter.ops);
  for (const FaultAt::Mode mode : {FaultAt::Mode::Fail, FaultAt::Mode::Die}) {
    for (int k = 1; k <= counter.count; ++k) {
      WriteBytes(path, kGoodLines);
      {
        FaultAt plan(mode, k);
        InstalledPlan faulty(plan);
        try {
          WithSecond().Save();
        } catch (const IoError&) {
          // Told; what matters is what the file holds.
        }
      }
      SCOPED_TRACE(counter.ops[static_cast<std::size_t>(k - 1)]);
      const std::vector<EventLabel> now = EventLabels::Read(path).All();
      EXPECT_TRUE(now == old || now == fresh);
      // What was left beside it never stands in the way of the next save.
      EXPECT_TRUE(WithSecond().Save());
      EXPECT_EQ(EventLabels::Read(path).All(), fresh);
    }
  }
}

}  // namespace
}  // namespace pelvaro::testing
