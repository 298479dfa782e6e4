# Draws the program's pictures with skingen.py at build time.
#
#   plover_draw_pictures(TARGET <name> OUT_DIR <dir> OUTPUTS <variable>)
#
# adds a custom target <name> that writes every picture into <dir> (the pictures with text into
# <dir>/ja and <dir>/en) and returns the list of files in <variable>. The list comes from the
# generator itself, and CMake reruns when a script of the generator changes, so adding a picture
# is a matter of adding a decorated function under tools/skingen/pictures/.

find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(PLOVER_SKINGEN_DIR ${CMAKE_CURRENT_LIST_DIR})

function(plover_draw_pictures)
  cmake_parse_arguments(P "" "TARGET;OUT_DIR;OUTPUTS" "" ${ARGN})
  file(GLOB_RECURSE scripts CONFIGURE_DEPENDS ${PLOVER_SKINGEN_DIR}/*.py)
  list(FILTER scripts EXCLUDE REGEX "/test_[^/]*\\.py$")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${scripts})
  execute_process(
    COMMAND ${Python3_EXECUTABLE} ${PLOVER_SKINGEN_DIR}/skingen.py --list
    OUTPUT_VARIABLE listing
    RESULT_VARIABLE status
    ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "skingen.py --list failed: ${errors}")
  endif()
  string(STRIP "${listing}" listing)
  string(REPLACE "\n" ";" relatives "${listing}")
  set(files)
  foreach(relative IN LISTS relatives)
    list(APPEND files ${P_OUT_DIR}/${relative})
  endforeach()
  add_custom_command(
    OUTPUT ${files}
    COMMAND ${Python3_EXECUTABLE} ${PLOVER_SKINGEN_DIR}/skingen.py --out ${P_OUT_DIR}
    DEPENDS ${scripts}
    COMMENT "Drawing the program's pictures"
    VERBATIM)
  add_custom_target(${P_TARGET} DEPENDS ${files})
  set(${P_OUTPUTS} ${files} PARENT_SCOPE)
endfunction()
