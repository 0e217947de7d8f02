// CREATE NEW on the main window: the question asked, and the site window's mode it leaves in
// the selection file for the window to open in.
#include "core/shell/MainMenu.h"

#include <gtest/gtest.h>

#include <optional>

#include "core/storage/StateFiles.h"
#include "support/RowNames.h"
#include "support/ScriptedPrompter.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

struct CreateNewRow {
  const char* guards;
  bool listEmpty;
  std::optional<Answer> answer;  // none: nothing is asked
  NextWindow next;
  const char* selection;  // Sitesel.dat afterwards
};

class CreateNewTest : public ::testing::TestWithParam<CreateNewRow> {};

TEST_P(CreateNewTest, AsksWhetherToEditTheSelectedSiteAndLeavesTheModeChosen) {
  const CreateNewRow& row = GetParam();
  TempRoot root;
  const Files files(root.Path());
  WriteSiteSelection(files, "FARM_01", "TVMKDATA");
  ScriptedPrompter prompter;
  if (row.answer) prompter.answers = {*row.answer};
  EXPECT_EQ(CheckCreateNew(files, prompter, row.listEmpty), row.next);
  ASSERT_EQ(prompter.shown.size(), row.answer ? 1u : 0u);
  if (row.answer) {
    EXPECT_EQ(prompter.shown[0].text,
              "Would you like to create a site file by editing the selected site file?");
    EXPECT_EQ(prompter.shown[0].title, "New Site File");
    EXPECT_EQ(prompter.shown[0].buttons, Buttons::YesNoCancel);
  }
  EXPECT_EQ(ReadBytes(files.InRoot(kSiteSelectionName)), row.selection);
}

const CreateNewRow kCreateNew[] = {
    {"yes edits the selected site into a new one", false, Answer::Yes, NextWindow::SiteWindow,
     "FARM_01\r\nTVMKDATA\r\n 2\r\n"},
    {"no starts from a blank site", false, Answer::No, NextWindow::SiteWindow,
     "FARM_01\r\nTVMKDATA\r\n 1\r\n"},
    {"cancel opens nothing and leaves the selection", false, Answer::Cancel, NextWindow::None,
     "FARM_01\r\nTVMKDATA\r\n"},
    {"an empty site list opens the window unasked", true, std::nullopt, NextWindow::SiteWindow,
     "FARM_01\r\nTVMKDATA\r\n"},
};

INSTANTIATE_TEST_SUITE_P(Answers, CreateNewTest, ::testing::ValuesIn(kCreateNew), ByGuards());

}  // namespace
}  // namespace pelvaro::testing
