# GoogleTest from the sources of Debian's libgtest-dev, built with this build's compiler.
set(DIALSERVER_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS "${DIALSERVER_GOOGLETEST_SOURCE}/CMakeLists.txt")
  message(FATAL_ERROR "GoogleTest sources not found in ${DIALSERVER_GOOGLETEST_SOURCE}: "
                      "apt-get install libgtest-dev (scripts/test does this)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${DIALSERVER_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
