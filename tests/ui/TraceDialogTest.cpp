#include "ui/operations/TraceDialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include "ui/PersonDriver.h"

namespace pelvaro::testing {
namespace {

TEST(TraceDialog, DigitsChooseTheCountAndOnlyADeliberateOkStartsTheTrace) {
  TraceSensorsDialog dialog;
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Probe Trace Mode");
  EXPECT_TRUE(dialog.isModal());
  EXPECT_EQ(Child<QLabel>(dialog, "LabelInfo")->text(),
            "Data logging will be terminated if the interfaced unit \nis recording data.");
  auto* list = Child<QComboBox>(dialog, "ComboSensors");
  ASSERT_EQ(list->count(), 5);
  EXPECT_EQ(list->itemText(0), " 1");
  EXPECT_EQ(list->currentText(), " 5");

  QTest::keyClick(list, Qt::Key_3);
  EXPECT_EQ(list->currentText(), " 3");
  QTest::keyClick(list, Qt::Key_A);
  QTest::keyClick(list, Qt::Key_9);
  QTest::keyClick(list, Qt::Key_Home);
  EXPECT_EQ(list->currentText(), " 3");
  QTest::keyClick(list, Qt::Key_2, Qt::KeypadModifier);
  EXPECT_EQ(list->currentText(), " 2");
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(list->currentText(), " 3");

  // Trace mode ends a logging run: a stray Enter, in the list or on a button, never starts it.
  auto* ok = Child<QPushButton>(dialog, "OKButton");
  for (QWidget* focus : {static_cast<QWidget*>(list), static_cast<QWidget*>(ok)}) {
    QTest::keyClick(focus, Qt::Key_Return);
    QTest::keyClick(focus, Qt::Key_Enter);
  }
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.SensorCount(), 0);

  QTest::keyClick(ok, Qt::Key_Space);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.SensorCount(), 3);
}

}  // namespace
}  // namespace pelvaro::testing
