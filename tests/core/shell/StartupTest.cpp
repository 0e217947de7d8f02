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

TEST_F(StartupTest, SeedsStateFilesRememberedSiteSampleAndProfileFromFirstStartOn) {
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

  // The sample site moves in with stray block files over an old copy, but only with its
  // graph; without one it is not converted.
  WriteBytes(env.currentFolder / "SAMPLE SITE_01.key", "header");
  EXPECT_FALSE(Run().sampleInstalled);
  EXPECT_EQ(conversions, 0);
  EXPECT_TRUE(fs::exists(Root() / "TVMKHEADER" / "SAMPLE SITE_01.key"));
  for (const char* old : {"TVMKHEADER/SAMPLE SITE_01.key", "TVMKDATA/SAMPLE SITE_01.bgf"}) {
    WriteBytes(Root() / old, "old");
  }
  // Each file holds the name it is moved to.
  const char* const moved[][2] = {{"SAMPLE SITE_01.key", "TVMKHEADER/SAMPLE SITE_01.key"},
                                  {"SAMPLE SITE_01_001.DAT", "TVMKDATA/SAMPLE SITE_01_001.DAT"},
                                  {"SAMPLE SITE_01_001.KEY", "TVMKDATA/SAMPLE SITE_01_001.KEY"},
                                  {"start.dat", "TVMKDATA/start.dat"},  // not the exact name
                                  {"SAMPLE SITE_01.bgf", "TVMKDATA/SAMPLE SITE_01.bgf"}};
  for (const auto& [from, to] : moved) WriteBytes(env.currentFolder / from, to);
  WriteBytes(env.currentFolder / "Sitesel.dat", "SAMPLE SITE_01\r\nTVMKDATA\r\n");
  EXPECT_TRUE(Run().sampleInstalled);
  EXPECT_EQ(conversions, 1);
  for (const auto& [from, to] : moved) EXPECT_EQ(ReadBytes(Root() / to), to);
  EXPECT_TRUE(fs::exists(env.currentFolder / "Sitesel.dat"));
  EXPECT_FALSE(fs::exists(env.currentFolder / "SAMPLE SITE_01.key"));

  // The user's profile comes before home.
  env.userProfile = (tmp.Path() / "profile").string();
  fs::create_directories(tmp.Path() / "profile");
  EXPECT_EQ(Run().workingRoot, tmp.Path() / "profile" / "Pelvaro Data");
  EXPECT_TRUE(fs::exists(tmp.Path() / "profile" / "Pelvaro Data" / "START.DAT"));
  env.programFiles = (tmp.Path() / "pf").string();
  EXPECT_EQ(InstallFolderFor(env), tmp.Path() / "pf" / "TVMKVelmora");
}

}  // namespace
}  // namespace pelvaro::testing
