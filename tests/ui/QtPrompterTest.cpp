#include "ui/platform/QtPrompter.h"

#include <gtest/gtest.h>

#include <QMessageBox>

#include "ui/PersonDriver.h"

namespace pelvaro::testing {
namespace {

// A short question under a long title: the box is wide enough for the whole title.
TEST(QtPrompterMessage, ABoxIsWideEnoughForItsTitle) {
  QtPrompter prompter;
  int width = 0;
  int titleWidth = 0;
  WhenDialogOpens<QMessageBox>([&](QMessageBox& box) {
    width = box.width();
    titleWidth = box.fontMetrics().horizontalAdvance(box.windowTitle());
    QTest::keyClick(&box, Qt::Key_Escape);
  });
  const Answer answer =
      static_cast<Prompter&>(prompter).Message("Restart?", "RE-START DATA LOGGER?", Buttons::YesNo);
  EXPECT_EQ(answer, Answer::No);
  EXPECT_GT(titleWidth, 0);
  EXPECT_GE(width, titleWidth + 100);
}

}  // namespace
}  // namespace pelvaro::testing
