#include "core/platform/Files.h"

#include <gtest/gtest.h>

#include "core/platform/Clock.h"
#include "core/platform/FileOps.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

// A lookup gives the disk's spelling where case counts; on Windows any spelling will do.
bool SamePath(const fs::path& a, const fs::path& b) {
#ifdef _WIN32
  return Files::SameNameIgnoringCase(PathText(a), PathText(b));
#else
  return a == b;
#endif
}

TEST(Files, LookupAndListingIgnoreCaseOnACaseSensitiveFileSystemSafeNamesDoNot) {
  TempRoot root;
  Files files(root.Path());
  const fs::path key = root.Path() / "TVMKHEADER" / "X_01.key";
  WriteBytes(key, "h");
  WriteBytes(root.Path() / "Sitesel.dat", "s");
  EXPECT_PRED2(SamePath, Files::Resolve(root.Path() / "TVMKHEADER" / "X_01.KEY"), key);
  EXPECT_PRED2(SamePath, Files::Resolve(root.Path() / "tvmkheader" / "x_01.KEY"), key);
  EXPECT_PRED2(SamePath, files.InRoot("Sitesel.Dat"), root.Path() / "Sitesel.dat");
  EXPECT_TRUE(Files::FileExists(root.Path() / "SITESEL.DAT"));
  EXPECT_PRED2(SamePath, files.HeaderPath("x_01"), key);
  // What does not exist keeps its spelling below the folders that do.
  EXPECT_PRED2(SamePath, Files::Resolve(root.Path() / "tvmkheader" / "New_01.key"),
               root.Path() / "TVMKHEADER" / "New_01.key");
  EXPECT_EQ(Files::Resolve(root.Path() / "NoSuch" / "a.key"), root.Path() / "NoSuch" / "a.key");

  // Pattern listing is case-blind and sorted.
  for (const char* name : {"b.key", "A.KEY", "c.keys", "d.key.bak", "E.Key"}) {
    WriteBytes(root.Path() / name, "");
  }
  fs::create_directories(root.Path() / "folder.key");
  EXPECT_EQ(Files::List(root.Path(), "*.key"),
            (std::vector<std::string>{"A.KEY", "b.key", "E.Key"}));
  EXPECT_TRUE(Files::MatchesPattern("S_01_007.dat", "S_01_???.DAT"));
  EXPECT_FALSE(Files::MatchesPattern("S_01_0007.DAT", "S_01_???.DAT"));
  EXPECT_TRUE(Files::MatchesPattern("a.b.key", "*.key"));
  EXPECT_FALSE(Files::MatchesPattern("key", "*.key"));
  EXPECT_TRUE(Files::List(root.Path() / "missing", "*").empty());

  // Safe names refuse what Windows would cut or keeps for devices.
  for (const char* good : {"SAMPLE SITE_01", "TVMKDATA", "3001_07", "Caf\xe9 (north)", "a.b",
                           "CON_01", "COM10", "CONSOLE", "NULL", "COM", "LPT", "AUXILIARY.KEY"}) {
    EXPECT_TRUE(IsSafeName(good)) << good;
  }
  for (const char* bad :
       {"",     ".",    "..",       "a/b",     "a\\b",   "C:",    "x..",     "tab\there", "q?",
        "s*",   "CON",  "con",      "Aux",     "PRN",    "NUL",   "NUL.key", "nul .txt",  "COM1",
        "com9", "LPT1", "LPT9.DAT", "COM\xB9", "CONIN$", "DATA.", "DATA "}) {
    EXPECT_FALSE(IsSafeName(bad)) << bad;
  }
  EXPECT_THROW(files.InRoot("../outside"), UnsafeNameError);
  // The header folder holds sites: whatever its case it holds no blocks.
  for (const char* header : {"TVMKHEADER", "tvmkheader", "TvmkHeader"}) {
    EXPECT_FALSE(IsDataDirectoryName(header)) << header;
    EXPECT_THROW(files.DataFolder(header), UnsafeNameError);
  }
  EXPECT_TRUE(IsDataDirectoryName("TVMKDATA"));
  // A name shown in a message cannot move the cursor or break the line.
  EXPECT_EQ(Printable("A\x1b[2J\nB"), "A\\x1B[2J\\x0AB");
  EXPECT_EQ(std::string(UnsafeNameError("a\tb").what()),
            "The name \"a\\x09b\" cannot be used as a file or folder name.");
}

#ifdef __linux__
// A folder opens as a file here, but reading it fails: an error, not an empty file.
TEST(FileHandle, AReadTheSystemRefusesIsAnErrorNotTheEndOfTheFile) {
  TempRoot root;
  FileHandle folder(root.Path(), FileHandle::Open::Read);
  char byte = 0;
  EXPECT_THROW(folder.ReadAt(0, &byte, 1), IoError);
}

// A device that refuses every write, as a full disk does; closing it alone
// would succeed, so only the write behind can make the close fail.
TEST(FileHandle, AFailedWriteBehindFailsTheNextCall) {
  FileHandle full("/dev/full", FileHandle::Open::Update);
  std::string piece(1 << 20, 'a');
  full.WriteAtBehind(0, piece);
  EXPECT_THROW(full.Close(), IoError);
}
#endif

TEST(Clock, EpochConversionRoundTripsAndVirtualTimeMovesOnlyByWaiting) {
  const DateTime t{2026, 3, 5, 9, 7, 3};
  EXPECT_EQ(ToEpochSeconds(t), 1772701623);
  EXPECT_EQ(FromEpochSeconds(ToEpochSeconds(t)), t);
  EXPECT_EQ(FromEpochSeconds(ToEpochSeconds({2000, 2, 29, 23, 59, 59}) + 1),
            (DateTime{2000, 3, 1, 0, 0, 0}));
  // Virtual time moves only by waiting.
  VirtualClock clock({2026, 12, 31, 23, 59, 58});
  EXPECT_EQ(clock.Now(), 0);
  clock.Wait(12.0);
  clock.Wait(-5);  // a negative wait does not run time backwards
  EXPECT_DOUBLE_EQ(clock.Now(), 12.0);
  EXPECT_EQ(clock.WallClock(), (DateTime{2027, 1, 1, 0, 0, 10}));
  clock.SetWallClock({2026, 3, 5, 9, 7, 3});
  EXPECT_DOUBLE_EQ(clock.Now(), 12.0);
  clock.Wait(0.5);
  EXPECT_EQ(clock.WallClock(), (DateTime{2026, 3, 5, 9, 7, 3}));
  clock.Wait(0.5);
  EXPECT_EQ(clock.WallClock(), (DateTime{2026, 3, 5, 9, 7, 4}));
}

}  // namespace
}  // namespace pelvaro::testing
