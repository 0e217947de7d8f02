#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
  // The end-to-end tests drive real programs; they need an event loop, not a display.
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
