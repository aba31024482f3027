# GoogleTest for a cross build, compiled with the same toolchain from Debian's
# source package (googletest, in /usr/src/googletest) into this build tree.
set(KORVANE_GTEST_SOURCE /usr/src/googletest/googletest CACHE PATH "GoogleTest's sources for a cross build")
if(NOT EXISTS ${KORVANE_GTEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources in ${KORVANE_GTEST_SOURCE}: scripts/deps.sh installs them")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${KORVANE_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
# Listing a test program's cases runs it under the emulator; done when ctest
# runs rather than after every link, so building stays fast.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
