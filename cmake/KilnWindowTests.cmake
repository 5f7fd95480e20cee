# A test program of window code, run on Qt's offscreen platform. Its main
# (gui/tests/gui_main.cpp) starts the toolkit and gives each run settings
# folders of its own.
function(kiln_add_window_tests target prefix)
  add_executable(${target} ${ARGN} ${PROJECT_SOURCE_DIR}/gui/tests/gui_main.cpp)
  target_link_libraries(${target} PRIVATE Qt6::Widgets Qt6::Test GTest::gtest)
  gtest_discover_tests(${target}
    TEST_PREFIX ${prefix}.
    DISCOVERY_TIMEOUT 30
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 60)
endfunction()
