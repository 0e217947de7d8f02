#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <string_view>

int main(int argc, char** argv) {
  // Test discovery and CI have no display. The offscreen platform gets an
  // ordinary screen to open windows on, and the small screens windows must fit.
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform == nullptr || std::string_view(platform) == "offscreen") {
    setenv("QT_QPA_PLATFORM", "offscreen:configfile=" PELVARO_TEST_SCREENS, 1);
  }
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
