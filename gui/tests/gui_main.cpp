// The main of the headless Qt tests: Qt's offscreen platform, with runtime
// and config folders of the run's own, so no test touches the user's settings.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "gui/gui.h"

int main(int argc, char** argv) {
  static std::string root = "/tmp/kilnguitestXXXXXX";
  if (::mkdtemp(root.data()) == nullptr) return 1;
  ::atexit([] { std::error_code ignored; std::filesystem::remove_all(root, ignored); });  // also on exit(1)
  for (const char* name : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "KILN_GUI_TEST_ROOT"}) {
    const std::string folder = root + "/" + name;
    ::mkdir(folder.c_str(), 0700);
    ::setenv(name, folder.c_str(), 1);
  }
  ::testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  StartGuiOrExit("gui tests");
  const int result = RUN_ALL_TESTS();
  ShutdownGui();
  return result;
}
