// Runs the toolkit's Qt tests on Qt's offscreen platform with runtime and
// config folders of their own, so no test touches the user's settings.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "toolkit/gui/gui.h"

int main(int argc, char** argv) {
  // The no-display test starts this program again with this variable set.
  if (std::getenv("KILN_GUI_NO_DISPLAY_CHILD") != nullptr) {
    StartGuiOrExit("gui-test");
    return 0;
  }
  for (const char* name : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME"}) {
    if (const char* folder = std::getenv(name)) {
      std::error_code ignored;
      std::filesystem::create_directories(folder, ignored);
      std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ignored);
    }
  }
  ::testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  if (!StartGui()) {
    std::fprintf(stderr, "gui tests need QT_QPA_PLATFORM=offscreen or a display\n");
    return 1;
  }
  const int result = RUN_ALL_TESTS();
  ShutdownGui();
  return result;
}
