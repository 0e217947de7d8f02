#include "ui/operations/TraceDialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace pelvaro {
namespace {

template <typename T>
T* Child(QWidget& w, const char* name) {
  T* child = w.findChild<T*>(name);
  EXPECT_NE(child, nullptr) << name;
  return child;
}

TEST(TraceDialog, ListTakesDigitsOneToFiveAndEnterAccepts) {
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
  EXPECT_TRUE(dialog.isVisible());

  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.SensorCount(), 3);
}

TEST(TraceDialog, CancelChoosesNoSensors) {
  TraceSensorsDialog dialog;
  dialog.show();
  QTest::keyClick(Child<QComboBox>(dialog, "ComboSensors"), Qt::Key_2);
  QTest::mouseClick(Child<QPushButton>(dialog, "CancelButton"), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_EQ(dialog.SensorCount(), 0);
}

}  // namespace
}  // namespace pelvaro
