# Runs the layering check on scratch trees under WORK: it must name each
# include against the order with file, line and rule, and accept what the
# order allows.
#   cmake -DSCRIPT=<Layering.cmake> -DWORK=<scratch folder> -P check-layering.cmake

set(failures 0)

function(plant path text)
  file(WRITE "${WORK}/${path}" "${text}")
endfunction()

# Checks `folder` as `layer`; expect is PASS or FAIL; every further argument
# must appear in the check's output.
function(expect_check expect folder layer)
  file(REMOVE "${WORK}/stamp")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -DROOT=${WORK} -DFOLDER=${folder} -DLAYER=${layer}
            -DSTAMP=${WORK}/stamp -P ${SCRIPT}
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  # CMake wraps long messages; the texts are looked for in the unwrapped output.
  string(REGEX REPLACE "[ \n]+" " " flat "${out}")
  set(ok TRUE)
  if(expect STREQUAL "PASS" AND (NOT result EQUAL 0 OR NOT EXISTS "${WORK}/stamp"))
    set(ok FALSE)
  elseif(expect STREQUAL "FAIL" AND (result EQUAL 0 OR EXISTS "${WORK}/stamp"))
    set(ok FALSE)
  endif()
  foreach(wanted IN LISTS ARGN)
    string(FIND "${flat}" "${wanted}" at)
    if(at LESS 0)
      set(ok FALSE)
      message("  missing from the output: ${wanted}")
    endif()
  endforeach()
  if(NOT ok)
    message("FAILED: ${folder} as ${layer}, expected ${expect}, exit ${result}:\n${out}")
    math(EXPR count "${failures} + 1")
    set(failures ${count} PARENT_SCOPE)
  endif()
endfunction()

file(REMOVE_RECURSE "${WORK}")

# A lower layer that includes a higher one fails, naming file, line and rule;
# includes of itself, of lower layers and of system headers pass.
plant(src/support/lower.h "#pragma once\n#include <QString>\n")
plant(src/support/upward.cpp "// a comment\n#include \"support/lower.h\"\n  #  include \"app/appdelegate.h\"\n#include \"lower.h\"\n")
expect_check(FAIL src/support support
  "src/support/upward.cpp:3:" "\"app/appdelegate.h\" is not allowed in src/support" "'app' stands above 'support'"
  "support → files → library → model → operations → tools → app → gui / cli")
plant(src/support/upward.cpp "#include \"support/lower.h\"\n// #include \"app/appdelegate.h\" is only mentioned\n")
expect_check(PASS src/support support)

# Every include against the order is named, not only the first.
plant(src/tools/tool.cpp "#include \"app/appdelegate.h\"\n#include \"gui/mainwindow.h\"\n#include \"operations/collector.h\"\n")
expect_check(FAIL src/tools tools
  "src/tools/tool.cpp:1:" "'app' stands above 'tools'" "src/tools/tool.cpp:2:" "'gui' stands above 'tools'")
plant(src/tools/tool.cpp "#include \"operations/collector.h\"\n")
expect_check(PASS src/tools tools)

# A path upward around the order fails too.
plant(src/model/sneaky.cpp "#include \"model/track.h\"\n#include \"../app/appdelegate.h\"\n")
expect_check(FAIL src/model model "src/model/sneaky.cpp:2:" "never a path upward")

# The front ends stand on every layer but not on each other; test folders are
# held to their area's layer.
plant(src/gui/window.cpp "#include \"app/appdelegate.h\"\n#include \"support/alerts.h\"\n")
expect_check(PASS src/gui gui)
plant(src/cli/command.cpp "#include \"tools/searchreplace.h\"\n#include \"gui/mainwindow.h\"\n")
expect_check(FAIL src/cli cli "src/cli/command.cpp:2:" "'cli' and 'gui' stand side by side")
plant(tests/library/track_test.cpp "#include \"library/musiclibrary.h\"\n#include \"tools/playlistexport.h\"\n")
expect_check(FAIL tests/library library "tests/library/track_test.cpp:2:" "'tools' stands above 'library'")

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} layering check case(s) failed")
endif()
message("every layering check case behaved")
