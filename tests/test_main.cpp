// Main of the GoogleTest programs: a QCoreApplication for the Qt parts, and the test thread as
// the program's main thread.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "support/main_thread.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  MainThread().BindToCurrentThread();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
