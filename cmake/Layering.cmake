# The layers of the program, lowest first. A folder's sources include only
# their own folder and the folders before it; the two front ends stand on
# everything and never on each other. ARCHITECTURE.md explains the order.
#
# Included by src/CMakeLists.txt for the order. Run as a script it checks one
# folder and fails naming each include against the order:
#
#   cmake -DROOT=<repository> -DFOLDER=<folder under ROOT> -DLAYER=<layer>
#         [-DSTAMP=<file written on success>] -P Layering.cmake
#
# No include against the order is tolerated.

set(QUAVERTIN_LAYERS support files library model operations tools app)
set(QUAVERTIN_FRONT_ENDS gui cli)

function(quavertin_layer_rule layer out)
  string(REPLACE ";" " → " order "${QUAVERTIN_LAYERS}")
  set(${out} "layers include only themselves and the layers below them: ${order} → gui / cli" PARENT_SCOPE)
endfunction()

# Sets out to the reason an include of `included` (its first path element)
# from `layer` is against the order, or to nothing when it is allowed.
function(quavertin_layer_violation layer included out)
  set(${out} "" PARENT_SCOPE)
  list(FIND QUAVERTIN_LAYERS "${layer}" from)
  list(FIND QUAVERTIN_LAYERS "${included}" to)
  list(FIND QUAVERTIN_FRONT_ENDS "${included}" toFrontEnd)
  if(from GREATER_EQUAL 0)
    if(to GREATER from OR toFrontEnd GREATER_EQUAL 0)
      set(${out} "'${included}' stands above '${layer}'" PARENT_SCOPE)
    endif()
  elseif(NOT layer STREQUAL included AND toFrontEnd GREATER_EQUAL 0)
    set(${out} "the front ends '${layer}' and '${included}' stand side by side" PARENT_SCOPE)
  endif()
endfunction()

function(quavertin_check_layering root folder layer)
  quavertin_layer_rule("${layer}" rule)
  file(GLOB_RECURSE sources RELATIVE "${root}" "${root}/${folder}/*.h" "${root}/${folder}/*.cpp")
  list(SORT sources)
  set(failures 0)
  foreach(source IN LISTS sources)
    file(READ "${root}/${source}" text)
    # One list element per line; characters with a meaning in CMake lists go first.
    string(REGEX REPLACE "[][;\\\\]" "" text "${text}")
    string(REPLACE "\n" ";" lines "${text}")
    set(number 0)
    foreach(line IN LISTS lines)
      math(EXPR number "${number} + 1")
      if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\"")
        continue()
      endif()
      set(include "${CMAKE_MATCH_1}")
      set(reason "")
      if(include MATCHES "^\\.\\./|/\\.\\./")
        set(reason "an include names its folder under src/, never a path upward")
      elseif(include MATCHES "^([^/]+)/")
        quavertin_layer_violation("${layer}" "${CMAKE_MATCH_1}" reason)
      endif()
      if(reason STREQUAL "")
        continue()
      endif()
      message(SEND_ERROR "${root}/${source}:${number}: \"${include}\" is not allowed in ${folder}: ${reason}; ${rule}.")
      math(EXPR failures "${failures} + 1")
    endforeach()
  endforeach()

  if(failures GREATER 0)
    message(FATAL_ERROR "${folder}: ${failures} layering fault(s), see above.")
  endif()
endfunction()

if(NOT CMAKE_SCRIPT_MODE_FILE)
  set(QUAVERTIN_LAYERING_SCRIPT ${CMAKE_CURRENT_LIST_FILE})

  # Makes `target` wait for the layering check of one folder: any include of a
  # higher layer from there fails the build, naming file, line and rule.
  function(quavertin_layering_check target folder layer)
    string(REPLACE "/" "-" name "${folder}")
    set(stamp ${PROJECT_BINARY_DIR}/layering/${name}.checked)
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.h ${PROJECT_SOURCE_DIR}/${folder}/*.cpp)
    add_custom_command(OUTPUT ${stamp}
      COMMAND ${CMAKE_COMMAND} -DROOT=${PROJECT_SOURCE_DIR} -DFOLDER=${folder} -DLAYER=${layer}
              -DSTAMP=${stamp}
              -P ${QUAVERTIN_LAYERING_SCRIPT}
      DEPENDS ${sources} ${QUAVERTIN_LAYERING_SCRIPT}
      COMMENT "Checking the includes of ${folder} against the layer order"
      VERBATIM)
    add_custom_target(${target}-layering DEPENDS ${stamp})
    add_dependencies(${target} ${target}-layering)
  endfunction()
  return()
endif()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  foreach(required ROOT FOLDER LAYER)
    if(NOT DEFINED ${required})
      message(FATAL_ERROR "Layering.cmake needs -D${required}=...")
    endif()
  endforeach()
  quavertin_check_layering("${ROOT}" "${FOLDER}" "${LAYER}")
  if(DEFINED STAMP)
    # Ninja makes an output's folder before running its command; Make does not.
    get_filename_component(stampFolder "${STAMP}" DIRECTORY)
    file(MAKE_DIRECTORY "${stampFolder}")
    file(TOUCH "${STAMP}")
  endif()
endif()
