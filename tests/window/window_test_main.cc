// The window's tests need an application; listing them (as test discovery
// does) must not, so that no display is asked for.

#include <gtest/gtest.h>

#include <QApplication>

#include "window/qt/application.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  varnelo::SetUpApplication(application);
  return RUN_ALL_TESTS();
}
