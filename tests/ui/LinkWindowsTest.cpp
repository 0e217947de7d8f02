#include "ui/link/LinkWindows.h"

#include <gtest/gtest.h>

#include <QScrollBar>

#include "ui/PersonDriver.h"

namespace pelvaro::testing {
namespace {

TEST(LinkWindows, PortListMovesWithArrowsOnlyAndEnterTakesTheChoice) {
  ScriptedPrompter prompter;
  SelDialog dialog(prompter);
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Velmora Port");
  auto* list = Child<QComboBox>(dialog, "cmbComPorts");
  EXPECT_EQ(list->count(), 20);
  EXPECT_EQ(list->itemText(19), "COM20");
  // Enter with nothing chosen yet asks for a choice and the list stays.
  QTest::keyClick(list, Qt::Key_Return);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text, "Select the port from the list box");
  EXPECT_TRUE(dialog.isVisible());
  // Letters and digits are ignored; Down moves through the list.
  QTest::keyClick(list, Qt::Key_7);
  EXPECT_EQ(list->currentIndex(), -1);
  list->setCurrentIndex(10);
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(list->currentText(), "COM12");
  QTest::keyClick(list, Qt::Key_Enter);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.Chosen(), 12);

  SelDialog again(prompter);
  again.show();
  auto* second = Child<QComboBox>(again, "cmbComPorts");
  second->setCurrentIndex(3);
  QTest::keyClick(second, Qt::Key_Escape);
  EXPECT_EQ(again.result(), QDialog::Rejected);
  EXPECT_EQ(again.Chosen(), std::nullopt);
}

TEST(LinkWindows, NotRespondingAnswersOkToEnterAndEscAndHelpToItsButton) {
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
    NotRespondingDialog notice;
    notice.show();
    EXPECT_EQ(notice.windowTitle(), "Velmora");
    QTest::keyClick(&notice, key);
    EXPECT_FALSE(notice.isVisible());
    EXPECT_FALSE(notice.HelpRequested());
  }
  NotRespondingDialog notice;
  notice.show();
  EXPECT_EQ(Child<QPushButton>(notice, "CancelButton")->text(), "Help");
  Click(Child<QPushButton>(notice, "CancelButton"));
  EXPECT_TRUE(notice.HelpRequested());
}

TEST(LinkWindows, HelpShowsItsWholeTextAndClosesWithEnterOrEsc) {
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
    HelpWindow help;
    help.show();
    EXPECT_EQ(help.windowTitle(), "Velmora Help");
    auto* text = Child<QTextEdit>(help, "txtHelp");
    EXPECT_EQ(text->font().family(), "Times New Roman");
    EXPECT_TRUE(
        text->toPlainText().startsWith("This message is due to the following reasons:\n1. "));
    EXPECT_TRUE(text->toPlainText().endsWith("screw it back to the original position."));
    // At its smallest the box still shows all of the text.
    help.resize(help.minimumSize());
    QApplication::processEvents();
    EXPECT_FALSE(text->verticalScrollBar()->isVisible());
    auto* link = Child<QLabel>(help, "lblLink");
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    emit link->linkActivated("#");
    EXPECT_FALSE(link->isVisible());
    EXPECT_TRUE(text->toPlainText().contains("assistance"));
    QTest::keyClick(text, key);
    EXPECT_FALSE(help.isVisible());
  }
}

}  // namespace
}  // namespace pelvaro::testing
