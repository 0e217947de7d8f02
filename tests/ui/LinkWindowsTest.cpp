#include "ui/link/LinkWindows.h"

#include <gtest/gtest.h>

#include <QScrollBar>

#include "ui/PersonDriver.h"

namespace pelvaro::testing {
namespace {

// The port list shown when the USB cable cannot be found.
class PortListDialogTest : public ::testing::Test {
 protected:
  PortListDialogTest() { dialog.show(); }
  QComboBox* List() { return Child<QComboBox>(dialog, "cmbComPorts"); }

  ScriptedPrompter prompter;
  PortListDialog dialog{prompter};
};

TEST_F(PortListDialogTest, IsTitledVelmoraPort) { EXPECT_EQ(dialog.windowTitle(), "Velmora Port"); }

TEST_F(PortListDialogTest, ListsComOneToComTwenty) {
  EXPECT_EQ(List()->count(), 20);
  EXPECT_EQ(List()->itemText(19), "COM20");
}

TEST_F(PortListDialogTest, EnterWithNothingChosenAsksForAChoiceAndTheListStays) {
  QTest::keyClick(List(), Qt::Key_Return);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(LastMessage(prompter), ": Select the port from the list box");
  EXPECT_TRUE(dialog.isVisible());
}

TEST_F(PortListDialogTest, LettersAndDigitsChooseNothing) {
  QTest::keyClick(List(), Qt::Key_7);
  EXPECT_EQ(List()->currentIndex(), -1);
}

TEST_F(PortListDialogTest, DownMovesThroughTheList) {
  List()->setCurrentIndex(10);
  QTest::keyClick(List(), Qt::Key_Down);
  EXPECT_EQ(List()->currentText(), "COM12");
}

TEST_F(PortListDialogTest, EnterTakesTheChosenPort) {
  List()->setCurrentIndex(11);
  QTest::keyClick(List(), Qt::Key_Enter);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.Chosen(), std::optional(12));
}

TEST_F(PortListDialogTest, EscCancelsAChoice) {
  List()->setCurrentIndex(3);
  QTest::keyClick(List(), Qt::Key_Escape);
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_EQ(dialog.Chosen(), std::optional<int>());
}

TEST(NotRespondingDialogTest, IsTitledVelmora) {
  NotRespondingDialog notice;
  EXPECT_EQ(notice.windowTitle(), "Velmora");
}

TEST(NotRespondingDialogTest, EnterOrEscAnswersOkWithoutHelp) {
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
    SCOPED_TRACE(key == Qt::Key_Return ? "Enter" : "Esc");
    NotRespondingDialog notice;
    notice.show();
    QTest::keyClick(&notice, key);
    EXPECT_FALSE(notice.isVisible());
    EXPECT_FALSE(notice.HelpRequested());
  }
}

TEST(NotRespondingDialogTest, ItsHelpButtonAsksForHelp) {
  NotRespondingDialog notice;
  notice.show();
  auto* help = Child<QPushButton>(notice, "CancelButton");
  EXPECT_EQ(Caption(help), "Help");
  Click(help);
  EXPECT_TRUE(notice.HelpRequested());
}

// What to check when the logger does not answer.
class HelpWindowTest : public ::testing::Test {
 protected:
  HelpWindowTest() { help.show(); }
  QTextEdit* Text() { return Child<QTextEdit>(help, "txtHelp"); }
  QLabel* Link() { return Child<QLabel>(help, "lblLink"); }

  HelpWindow help;
};

TEST_F(HelpWindowTest, IsTitledVelmoraHelp) { EXPECT_EQ(help.windowTitle(), "Velmora Help"); }

TEST_F(HelpWindowTest, ItsTextIsInTimesNewRoman) {
  EXPECT_EQ(Text()->font().family(), "Times New Roman");
}

TEST_F(HelpWindowTest, HoldsTheWholeListOfReasons) {
  EXPECT_TRUE(
      Text()->toPlainText().startsWith("This message is due to the following reasons:\n1. "));
  EXPECT_TRUE(Text()->toPlainText().endsWith("screw it back to the original position."));
}

TEST_F(HelpWindowTest, AtItsSmallestTheTextStillShowsWhole) {
  help.resize(help.minimumSize());
  QApplication::processEvents();
  EXPECT_FALSE(Text()->verticalScrollBar()->isVisible());
}

TEST_F(HelpWindowTest, TheLinkShowsAPointingHand) {
  EXPECT_EQ(Link()->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(HelpWindowTest, TheLinkAddsWhereToGetFurtherAssistanceAndGoes) {
  emit Link()->linkActivated("#");
  EXPECT_FALSE(Link()->isVisible());
  EXPECT_TRUE(Text()->toPlainText().contains("assistance"));
}

TEST_F(HelpWindowTest, EnterOrEscInTheTextClosesIt) {
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
    SCOPED_TRACE(key == Qt::Key_Return ? "Enter" : "Esc");
    help.show();
    QTest::keyClick(Text(), key);
    EXPECT_FALSE(help.isVisible());
  }
}

}  // namespace
}  // namespace pelvaro::testing
