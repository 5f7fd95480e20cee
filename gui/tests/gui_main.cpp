// The main of the headless Qt tests: Qt's offscreen platform, with runtime
// and config folders of the run's own, so no test touches the user's settings.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "gui/gui.h"

int main(int argc, char** argv) {
  // The no-display test starts this program again with this variable set.
  if (::getenv("KILN_GUI_NO_DISPLAY_CHILD") != nullptr) {
    StartGuiOrExit("gui-test");
    return 0;
  }
  // The folders the test's environment names, or fresh ones removed at exit.
  static std::string root = "/tmp/kilnguitestXXXXXX";
  if (::mkdtemp(root.data()) == nullptr) return 1;
  ::atexit([] { std::error_code ignored; std::filesystem::remove_all(root, ignored); });  // also on exit(1)
  for (const char* name : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "KILN_GUI_TEST_ROOT"}) {
    const char* given = ::getenv(name);
    const std::string folder = given && *given ? std::string(given) : root + "/" + name;
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ignored);
    ::setenv(name, folder.c_str(), 1);
  }
  ::testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  StartGuiOrExit("gui tests");
  const int result = RUN_ALL_TESTS();
  ShutdownGui();
  return result;
}
