#include "core/site/DirectoryList.h"

#include <gtest/gtest.h>

#include "core/site/SiteForm.h"
#include "core/storage/StateFiles.h"
#include "support/ScriptedPrompter.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

TEST(DirectoryList, EnterFillsTheFirstFreeEntryAndCreatesTheFolder) {
  TempRoot root;
  Files files(root.Path());
  ScriptedPrompter prompter;
  WriteSiteSelection(files, "", "", 1);
  SiteForm form(files, prompter, true);
  form.Load();
  form.Directories().SetEntries({"TVMKDATA", "OLD"});
  form.EnterCell();
  for (char c : std::string("newdir")) form.TypeDetail(kDataDirectoryRow, c);
  form.TypeDetail(kDataDirectoryRow, 13);
  EXPECT_EQ(form.Directories().Entries()[2], "NEWDIR");
  EXPECT_TRUE(fs::is_directory(root.Path() / "NEWDIR"));
  // Already listed, or no letter in it: nothing changes.
  form.TypeDetail(kDataDirectoryRow, 13);
  EXPECT_EQ(form.Directories().Enter("NEWDIR", prompter),
            DirectoryList::EnterResult::AlreadyListed);
  EXPECT_EQ(form.Directories().Enter("2024", prompter), DirectoryList::EnterResult::NoLetter);
  EXPECT_EQ(form.Directories().Entries()[3], "");

  // Full: the message, and the cell shows the selected entry again.
  form.Directories().SetEntries({"A", "B", "C", "D", "E", "F", "G", "H"});
  form.Directories().Click(1);
  form.EnterCell();
  for (char c : std::string("NINTH")) form.TypeDetail(kDataDirectoryRow, c);
  form.TypeDetail(kDataDirectoryRow, 13);
  EXPECT_EQ(prompter.shown.back().text, kDirectoryFullMessage);
  EXPECT_EQ(form.Detail(kDataDirectoryRow), "B");
  EXPECT_FALSE(fs::exists(root.Path() / "NINTH"));
}

TEST(DirectoryList, RemovingClosesTheGapButNotTheDirectoryInUse) {
  ScriptedPrompter prompter;
  DirectoryList list;
  list.SetEntries({"A", "B", "C", "D", "E", "F", "G", "H"});  // full: the last moves up too
  list.Click(1);
  EXPECT_TRUE(list.RemoveEnabled());
  EXPECT_TRUE(list.RemoveSelected("A", prompter));
  EXPECT_EQ(std::vector(list.Entries().begin(), list.Entries().end()),
            (std::vector<std::string>{"A", "C", "D", "E", "F", "G", "H", ""}));
  list.Click(0);
  EXPECT_FALSE(list.RemoveSelected("A", prompter));
  EXPECT_EQ(prompter.shown.back().title + ": " + prompter.shown.back().text,
            "Directory is in use: This directory is in use, change the site directory to remove.");
  EXPECT_EQ(list.Entries()[0], "A");
  list.Click(kDirectoryEntries);  // beyond the list: the choice stays
  EXPECT_EQ(list.Selected(), 0);
  list.Click(7);
  EXPECT_FALSE(list.RemoveEnabled());
  EXPECT_EQ(list.DoubleClick(7), std::nullopt);
  EXPECT_EQ(list.DoubleClick(1), "C");
}

TEST(DataDirChoice, OpensOnTheCurrentDirectoryAndReportsAChange) {
  TempRoot root;
  Files files(root.Path());
  ScriptedPrompter prompter;
  DataDirChoice dialog(files, {"TVMKDATA", "OLD"}, "OLD");
  ASSERT_EQ(dialog.Options().size(), 2u);
  EXPECT_EQ(dialog.Options()[0].caption, "  1     TVMKDATA");
  EXPECT_EQ(dialog.Options()[1].caption, "  2     OLD");
  EXPECT_TRUE(dialog.Options()[1].highlighted);
  EXPECT_FALSE(dialog.Options()[0].highlighted);
  EXPECT_TRUE(fs::is_directory(root.Path() / "OLD"));
  EXPECT_TRUE(dialog.Ok(prompter));
  EXPECT_EQ(dialog.CurrentDirectory(), "OLD");
  EXPECT_FALSE(dialog.DirectoryChosen());

  DataDirChoice other(files, {"TVMKDATA", "OLD"}, "OLD");
  other.Click(0);
  EXPECT_TRUE(other.Options()[0].highlighted);
  EXPECT_FALSE(other.Options()[1].highlighted);
  EXPECT_TRUE(other.Ok(prompter));
  EXPECT_EQ(other.CurrentDirectory(), "TVMKDATA");
  EXPECT_TRUE(other.DirectoryChosen());

  DataDirChoice first(files, {"TVMKDATA", "OLD"}, "TVMKDATA");
  EXPECT_TRUE(first.Options()[0].highlighted && !first.Options()[1].highlighted);

  DataDirChoice none(files, {"TVMKDATA", "OLD"}, "ELSEWHERE");
  EXPECT_FALSE(none.Selected().has_value());
  EXPECT_FALSE(none.Ok(prompter));
  EXPECT_EQ(prompter.shown.back().text, "Select a data directory from the list.");
}

}  // namespace
}  // namespace pelvaro::testing
