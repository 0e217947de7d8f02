#include "core/platform/Files.h"

#include <gtest/gtest.h>

#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

// The spelling a lookup gives: the one on the disk where names keep their
// case; any on Windows, whose names ignore it.
bool SamePath(const fs::path& a, const fs::path& b) {
#ifdef _WIN32
  return Files::SameNameIgnoringCase(PathText(a), PathText(b));
#else
  return a == b;
#endif
}

TEST(Files, LookupIgnoresCaseOnACaseSensitiveFileSystem) {
  TempRoot root;
  Files files(root.Path());
  WriteBytes(root.Path() / "TVMKHEADER" / "X_01.key", "h");
  WriteBytes(root.Path() / "Sitesel.dat", "s");
  EXPECT_PRED2(SamePath, Files::Resolve(root.Path() / "TVMKHEADER" / "X_01.KEY"),
               root.Path() / "TVMKHEADER" / "X_01.key");
  EXPECT_PRED2(SamePath, Files::Resolve(root.Path() / "tvmkheader" / "x_01.KEY"),
               root.Path() / "TVMKHEADER" / "X_01.key");
  EXPECT_PRED2(SamePath, files.InRoot("Sitesel.Dat"), root.Path() / "Sitesel.dat");
  EXPECT_TRUE(Files::FileExists(root.Path() / "SITESEL.DAT"));
  EXPECT_PRED2(SamePath, files.HeaderPath("x_01"), root.Path() / "TVMKHEADER" / "X_01.key");
  // What does not exist keeps its spelling below the folders that do.
  EXPECT_PRED2(SamePath, Files::Resolve(root.Path() / "tvmkheader" / "New_01.key"),
               root.Path() / "TVMKHEADER" / "New_01.key");
  EXPECT_EQ(Files::Resolve(root.Path() / "NoSuch" / "a.key"), root.Path() / "NoSuch" / "a.key");
}

TEST(Files, PatternListingIsCaseBlindAndSorted) {
  TempRoot root;
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
}

TEST(Files, SafeNamesRefuseWhatWindowsWouldCutOrKeepsForDevices) {
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
  Files files("/tmp/root");
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

TEST(Files, APairCutShortIsFinishedOrUndone) {
  // What an interruption can leave of a pair written first.part, second.part,
  // then renamed first, second; and what the recovery makes of it.
  struct Case {
    const char* left;  // parts present: "f" first part, "s" second part
    bool finished;
  };
  for (const Case c : {Case{"", false}, Case{"f", false}, Case{"fs", false}, Case{"s", true}}) {
    TempRoot root;
    const fs::path first = root.Path() / "X.BGF";
    const fs::path second = root.Path() / "X.Pct";
    WriteBytes(first, "old first");
    WriteBytes(second, "old second");
    const std::string left = c.left;
    if (left.find('f') != std::string::npos) WriteBytes(fileops::PairPart(first), "new first");
    if (left.find('s') != std::string::npos) WriteBytes(fileops::PairPart(second), "new second");
    if (c.finished) WriteBytes(first, "new first");  // renamed before the interruption
    EXPECT_EQ(fileops::RecoverPair(first, second), c.finished) << left;
    EXPECT_EQ(ReadBytes(first) + "/" + ReadBytes(second),
              c.finished ? "new first/new second" : "old first/old second")
        << left;
    EXPECT_FALSE(fs::exists(fileops::PairPart(first)));
    EXPECT_FALSE(fs::exists(fileops::PairPart(second)));
  }
}

TEST(Files, WholeFileWriteReplacesWithoutLeftovers) {
  TempRoot root;
  const fs::path target = root.Path() / "state.txt";
  WriteBytes(target, "old and longer content");
  Files::WriteWholeFile(target, "new");
  EXPECT_EQ(ReadBytes(target), "new");
  EXPECT_FALSE(fs::exists(root.Path() / "state.txt.new"));
  EXPECT_THROW(Files::WriteWholeFile(root.Path() / "missing" / "x", "y"), IoError);
}

}  // namespace
}  // namespace pelvaro::testing
