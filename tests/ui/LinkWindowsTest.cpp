#include "ui/link/LinkWindows.h"

#include <gtest/gtest.h>

#include <QTest>

#include "support/ScriptedPrompter.h"

namespace pelvaro {
namespace {

using testing::ScriptedPrompter;

template <typename T>
T* Child(QWidget& w, const char* name) {
  T* child = w.findChild<T*>(name);
  EXPECT_NE(child, nullptr) << name;
  return child;
}

TEST(LinkWindows, PortListNeedsAChoiceAndMovesWithArrowsOnly) {
  ScriptedPrompter prompter;
  SelDialog dialog(prompter);
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Velmora Port");
  auto* list = Child<QComboBox>(dialog, "cmbComPorts");
  EXPECT_EQ(list->count(), 20);
  EXPECT_EQ(list->itemText(19), "COM20");
  QTest::mouseClick(Child<QPushButton>(dialog, "OKButton"), Qt::LeftButton);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text, "Select the port from the list box");
  EXPECT_TRUE(dialog.isVisible());
  // Letters and digits are ignored; Down moves through the list.
  QTest::keyClick(list, Qt::Key_7);
  EXPECT_EQ(list->currentIndex(), -1);
  list->setCurrentIndex(10);
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(list->currentText(), "COM12");
  QTest::mouseClick(Child<QPushButton>(dialog, "OKButton"), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.Chosen(), 12);
}

TEST(LinkWindows, NotRespondingAndHelpCarryTheirTexts) {
  NotRespondingDialog notice;
  notice.show();
  EXPECT_EQ(notice.windowTitle(), "Velmora");
  EXPECT_EQ(Child<QPushButton>(notice, "CancelButton")->text(), "Help");
  QTest::mouseClick(Child<QPushButton>(notice, "CancelButton"), Qt::LeftButton);
  EXPECT_TRUE(notice.HelpRequested());

  HelpWindow help;
  help.show();
  EXPECT_EQ(help.windowTitle(), "Velmora Help");
  auto* text = Child<QTextEdit>(help, "txtHelp");
  EXPECT_EQ(text->font().family(), "Times New Roman");
  EXPECT_TRUE(text->toPlainText().startsWith("This message is due to the following reasons:\n1. "));
  EXPECT_TRUE(text->toPlainText().endsWith("screw it back to the original position."));
  auto* link = Child<QLabel>(help, "lblLink");
  EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
  emit link->linkActivated("#");
  EXPECT_FALSE(link->isVisible());
  EXPECT_TRUE(text->toPlainText().contains("assistance"));
}

}  // namespace
}  // namespace pelvaro
