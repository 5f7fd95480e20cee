// The main of the headless Qt tests: Qt's offscreen platform, with runtime
// and config folders of the run's own, so no test touches the user's settings.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

#include "gui/gui.h"

int main(int argc, char** argv) {
  // The no-display test starts this program again with this variable set.
  if (std::getenv("KILN_GUI_NO_DISPLAY_CHILD") != nullptr) {
    StartGuiOrExit("gui-test");
    return 0;
  }
  // The folders the test's environment names, or fresh ones removed at exit.
  std::string root = "/tmp/kilnguitestXXXXXX";
  if (::mkdtemp(root.data()) == nullptr) return 1;
  struct RemoveRoot {
    std::string path;
    ~RemoveRoot() { std::error_code e; std::filesystem::remove_all(path, e); }
  } removeRoot{root};
  for (const auto& [name, sub] : {std::pair{"XDG_RUNTIME_DIR", "/runtime"}, std::pair{"XDG_CONFIG_HOME", "/config"},
                                  std::pair{"KILN_GUI_TEST_ROOT", ""}}) {
    const char* given = std::getenv(name);
    const std::string folder = given && *given ? std::string(given) : root + sub;
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ignored);
    ::setenv(name, folder.c_str(), 1);
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
