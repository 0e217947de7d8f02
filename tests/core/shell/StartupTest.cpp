#include "core/shell/Startup.h"

#include <gtest/gtest.h>

#include "core/storage/StateFiles.h"
#include "support/ScriptedPrompter.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

class StartupTest : public ::testing::Test {
 protected:
  StartupTest() {
    env.home = (tmp.Path() / "home").string();
    env.installedData = tmp.Path() / "install";
    env.programFolder = tmp.Path() / "bin";
    env.currentFolder = tmp.Path() / "cwd";
    fs::create_directories(tmp.Path() / "home");
    fs::create_directories(env.currentFolder);
  }
  fs::path Root() const { return tmp.Path() / "home" / "Pelvaro Data"; }
  StartupResult Run() {
    return RunStartup(env, prompter, [this](const Files&) { ++conversions; });
  }

  TempRoot tmp;
  StartupEnvironment env;
  ScriptedPrompter prompter;
  int conversions = 0;
};

TEST_F(StartupTest, SeedsStateFilesRememberedSiteAndProfileFromFirstStartOn) {
  WriteBytes(env.installedData / "TVMKHEADER" / "SEED_01.key", "seed header");
  WriteBytes(env.installedData / "EXTRA" / "deep" / "x.txt", "x");
  WriteBytes(env.installedData / "START.DAT", "YES\r\n");
  WriteBytes(env.installedData / "DEF.INS", " 2\r\n");
  const StartupResult r = Run();
  EXPECT_EQ(r.workingRoot, Root());
  EXPECT_TRUE(fs::is_directory(Root() / "TVMKDATA"));
  EXPECT_EQ(ReadBytes(Root() / "TVMKHEADER" / "SEED_01.key"), "seed header");
  EXPECT_EQ(ReadBytes(Root() / "EXTRA" / "deep" / "x.txt"), "x");
  EXPECT_EQ(ReadBytes(Root() / "DEF.INS"), " 2\r\n");
  EXPECT_EQ(ReadBytes(Root() / "START.DAT"), "NO\r\n");
  EXPECT_EQ(r.sites, std::vector<std::string>{"SEED_01.key"});
  EXPECT_FALSE(r.selectedSite.has_value());
  EXPECT_EQ(conversions, 0);
  EXPECT_TRUE(prompter.shown.empty());

  // An existing root without a restart file gets folders and state files but no seed.
  for (const char* made : {"START.DAT", "TVMKHEADER", "TVMKDATA"}) fs::remove_all(Root() / made);
  WriteBytes(env.installedData / "TVMKHEADER" / "SEED_02.key", "seed");
  WriteBytes(Root() / "Sitesel.dat", "OLD_01\r\nTVMKDATA\r\n");
  WriteBytes(Root() / "DEF.INS", "old");
  WriteBytes(env.programFolder / "Sitesel.dat", "NEW_01\r\nTVMKDATA\r\n");
  WriteBytes(env.programFolder / "DEF.INS", " 4\r\n");
  Run();
  EXPECT_TRUE(fs::is_directory(Root() / "TVMKHEADER"));
  EXPECT_TRUE(fs::is_directory(Root() / "TVMKDATA"));
  EXPECT_FALSE(fs::exists(Root() / "TVMKHEADER" / "SEED_02.key"));
  EXPECT_EQ(ReadBytes(Root() / "Sitesel.dat"), "NEW_01\r\nTVMKDATA\r\n");
  EXPECT_EQ(ReadBytes(Root() / "DEF.INS"), " 4\r\n");
  EXPECT_EQ(ReadBytes(Root() / "START.DAT"), "NO\r\n");

  // The remembered site is selected, or the last entry, and an unsafe one refused.
  for (const char* name : {"A_01.key", "B_01.key", "C_01.key"}) {
    WriteBytes(Root() / "TVMKHEADER" / name, "");
  }
  WriteBytes(Root() / "Sitesel.dat", "b_01\r\nTVMKDATA\r\n");
  EXPECT_EQ(Run().selectedSite, 1);
  WriteBytes(Root() / "Sitesel.dat", "GONE_01\r\nTVMKDATA\r\n");
  EXPECT_EQ(Run().selectedSite, 2);
  EXPECT_EQ(ReadBytes(Root() / "Sitesel.dat"), "GONE_01\r\nTVMKDATA\r\n");
  WriteBytes(Root() / "Sitesel.dat", "A_1\r\nD\r\n");  // 8 bytes: nothing remembered
  EXPECT_FALSE(Run().selectedSite.has_value());
  EXPECT_TRUE(prompter.shown.empty());
  WriteBytes(Root() / "Sitesel.dat", "..\\..\\evil_01\r\nTVMKDATA\r\n");
  const StartupResult unsafe = Run();
  EXPECT_EQ(unsafe.sites.size(), 3u);
  EXPECT_FALSE(unsafe.selectedSite.has_value());
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_NE(prompter.shown[0].text.find("evil_01"), std::string::npos);

  // The user's profile comes before home.
  env.userProfile = (tmp.Path() / "profile").string();
  fs::create_directories(tmp.Path() / "profile");
  EXPECT_EQ(Run().workingRoot, tmp.Path() / "profile" / "Pelvaro Data");
  EXPECT_TRUE(fs::exists(tmp.Path() / "profile" / "Pelvaro Data" / "START.DAT"));
  env.programFiles = (tmp.Path() / "pf").string();
  EXPECT_EQ(InstallFolderFor(env), tmp.Path() / "pf" / "TVMKVelmora");
}

// Each sample file holds the name it is moved to.
const char* const kSampleFiles[][2] = {
    {"SAMPLE SITE_01.key", "TVMKHEADER/SAMPLE SITE_01.key"},
    {"SAMPLE SITE_01_001.DAT", "TVMKDATA/SAMPLE SITE_01_001.DAT"},
    {"SAMPLE SITE_01_001.KEY", "TVMKDATA/SAMPLE SITE_01_001.KEY"},
    {"start.dat", "TVMKDATA/start.dat"},  // not the exact name of the state file
    {"SAMPLE SITE_01.bgf", "TVMKDATA/SAMPLE SITE_01.bgf"}};

TEST_F(StartupTest, SampleFilesMoveInWithTheirGraphAndAreConverted) {
  Run();
  for (const auto& [from, to] : kSampleFiles) WriteBytes(env.currentFolder / from, to);
  WriteBytes(env.currentFolder / "Sitesel.dat", "SAMPLE SITE_01\r\nTVMKDATA\r\n");
  EXPECT_TRUE(Run().sampleInstalled);
  EXPECT_EQ(conversions, 1);
  for (const auto& [from, to] : kSampleFiles) EXPECT_EQ(ReadBytes(Root() / to), to);
  EXPECT_TRUE(fs::exists(env.currentFolder / "Sitesel.dat"));
  EXPECT_FALSE(fs::exists(env.currentFolder / "SAMPLE SITE_01.key"));
}

TEST_F(StartupTest, ASampleHeaderWithoutItsGraphMovesInUnconverted) {
  WriteBytes(env.currentFolder / "SAMPLE SITE_01.key", "header");
  EXPECT_FALSE(Run().sampleInstalled);
  EXPECT_EQ(conversions, 0);
  EXPECT_EQ(ReadBytes(Root() / "TVMKHEADER" / "SAMPLE SITE_01.key"), "header");
}

TEST_F(StartupTest, SampleFilesNeverReplaceTheRootsFiles) {
  Run();
  for (const auto& [from, to] : kSampleFiles) {
    WriteBytes(Root() / to, "season");
    WriteBytes(env.currentFolder / from, to);
  }
  EXPECT_FALSE(Run().sampleInstalled);
  EXPECT_EQ(conversions, 0);
  for (const auto& [from, to] : kSampleFiles) {
    EXPECT_EQ(ReadBytes(Root() / to), "season") << to;
    EXPECT_EQ(ReadBytes(env.currentFolder / from), to) << from;
  }
}

// Started from inside its own header folder, the program took it for a sample folder and
// moved every site header into the data folder.
TEST_F(StartupTest, AFolderOfTheWorkingRootIsNoSampleFolder) {
  Run();
  for (const char* name : {"SAMPLE SITE_01.key", "FARM_01.key"}) {
    WriteBytes(Root() / "TVMKHEADER" / name, name);
  }
  WriteBytes(Root() / "TVMKHEADER" / "SAMPLE SITE_01.bgf", "graph");
  for (const fs::path& folder : {Root() / "TVMKHEADER", Root(), Root() / "TVMKHEADER" / "."}) {
    env.currentFolder = folder;
    EXPECT_FALSE(Run().sampleInstalled) << folder;
    EXPECT_EQ(ReadBytes(Root() / "TVMKHEADER" / "FARM_01.key"), "FARM_01.key") << folder;
    EXPECT_EQ(ReadBytes(Root() / "TVMKHEADER" / "SAMPLE SITE_01.key"), "SAMPLE SITE_01.key");
    EXPECT_FALSE(fs::exists(Root() / "TVMKDATA" / "FARM_01.key")) << folder;
  }
  EXPECT_EQ(conversions, 0);
}

TEST(StartupFolders, InsideMeansTheFolderOrBelowIt) {
  const fs::path root = fs::temp_directory_path() / "Pelvaro Data";
  struct Row {
    const char* name;
    fs::path path;
    bool inside;
  };
  const Row rows[] = {
      {"the folder itself", root, true},
      {"a subfolder", root / "TVMKHEADER", true},
      {"a subfolder by way of ..", root / "TVMKDATA" / ".." / "TVMKHEADER", true},
      {"the parent", root.parent_path(), false},
      {"a sibling sharing the name's start", root.parent_path() / "Pelvaro Data 2", false},
      {"a sibling by way of ..", root / ".." / "cwd", false},
  };
  for (const Row& row : rows) EXPECT_EQ(IsInsideFolder(row.path, root), row.inside) << row.name;
}

}  // namespace
}  // namespace pelvaro::testing
