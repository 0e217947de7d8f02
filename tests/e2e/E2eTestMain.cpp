#include <gtest/gtest.h>

#include <cstdlib>

#ifdef PELVARO_E2E_WINDOWS
#include <QApplication>
#else
#include <QCoreApplication>
#endif

int main(int argc, char** argv) {
#ifdef PELVARO_E2E_WINDOWS
  // Windows over the real line: offscreen unless a display is asked for.
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
#else
  // The end-to-end tests drive real programs; they need an event loop, not a display.
  QCoreApplication app(argc, argv);
#endif
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
