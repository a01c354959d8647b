# The support code of the end-to-end tests and the benchmark: a private
# Xvfb, the programs on it, input, observation and the shared scene. No
# GoogleTest in it; the tests add xharness_gtest.
include_guard(GLOBAL)
set(xharness_dir ${CMAKE_CURRENT_LIST_DIR})
add_library(xharness STATIC ${xharness_dir}/xharness.cpp ${xharness_dir}/desktop.cpp
  ${xharness_dir}/monitors.cpp ${xharness_dir}/processes.cpp ${xharness_dir}/framebuffer.cpp
  ${xharness_dir}/scene.cpp)
target_include_directories(xharness PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(xharness PUBLIC X11::X11 X11::Xtst)
target_compile_definitions(xharness PRIVATE DROPCON_BINARY="$<TARGET_FILE:dropcon>")
add_dependencies(xharness dropcon)
# A scene's Setup is written with designated initializers naming only what
# differs from the defaults; the rest are default-initialised on purpose.
target_compile_options(xharness PUBLIC -Wno-missing-field-initializers)
