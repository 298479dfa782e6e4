# Shared compiler settings, GoogleTest and test registration helpers.

set(PLOVER_WARNINGS -Wall -Wextra)

if(WIN32)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  # One .exe with no compiler DLLs beside it.
  add_link_options(-static -static-libgcc -static-libstdc++)
  set(PLOVER_WINE_RUN ${CMAKE_SOURCE_DIR}/scripts/wine-run)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PLOVER_WINE_RUN})
else()
  option(PLOVER_SANITIZE "Build host tests with AddressSanitizer and UBSan" ON)
  if(PLOVER_SANITIZE)
    set(PLOVER_SANITIZER_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  endif()
endif()

# GoogleTest from Debian's sources, built with the same toolchain as the tests.
set(PLOVER_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
if(BUILD_TESTING AND NOT TARGET gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${PLOVER_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# The project's warnings (and, on the host, the sanitizers) for one target.
function(plover_target_defaults target)
  target_compile_options(${target} PRIVATE ${PLOVER_WARNINGS})
  if(PLOVER_SANITIZER_FLAGS)
    target_compile_options(${target} PRIVATE ${PLOVER_SANITIZER_FLAGS})
    target_link_options(${target} PRIVATE ${PLOVER_SANITIZER_FLAGS})
  endif()
endfunction()

# plover_add_test(NAME SOURCES... LIBS libs...) - one GoogleTest binary, one CTest entry. It links
# the test-support library that PLOVER_TEST_SUPPORT names in its folder, if any.
# Under Wine each start costs about a second, so a binary is one CTest test, not one per case.
function(plover_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  plover_target_defaults(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} ${PLOVER_TEST_SUPPORT} gtest gtest_main)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

if(WIN32)
  # Programs, DLLs and test binaries side by side, as they are installed.
  set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
else()
  # Host command-line tools, run by ./plover tool NAME as build/native/tools/plover-NAME.
  set(PLOVER_HOST_TOOL_DIR ${CMAKE_BINARY_DIR}/tools)
endif()
