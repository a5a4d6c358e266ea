# Checks that every #include in src/ and tools/ points down the layers:
#   app -> ui -> core -> engine -> base
# Each layer may include itself, the layer right below it and base; the
# composition root (app) wires everything and may include any layer; tools
# drive the core without a window. base, engine and core include no Qt.
# Inside core and engine the rooms are stacks of their own:
#   core:   frame -> net -> sending -> macros -> config
#   engine: timing -> keyers -> sound -> lines -> system
# and each may include itself and the rooms below it, never one above.
#   cmake -DROOT=<source tree> -P check_layers.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT ROOT)
  message(FATAL_ERROR "usage: cmake -DROOT=<source tree> -P check_layers.cmake")
endif()

set(allowed_app app ui core engine base)
set(allowed_ui ui core base)
set(allowed_core core engine base)
set(allowed_engine engine base)
set(allowed_base base)
set(allowed_tools core engine base)
set(no_qt base engine core)
set(core_rooms config macros sending net frame)  # bottom first
set(engine_rooms system lines sound keyers timing)

file(GLOB_RECURSE sources RELATIVE ${ROOT} ${ROOT}/src/*.h ${ROOT}/src/*.cpp ${ROOT}/tools/*.h
     ${ROOT}/tools/*.cpp)
set(failures "")
foreach(source ${sources})
  if(source MATCHES "^tools/")
    set(layer tools)
  else()
    string(REGEX REPLACE "^src/([^/]+)/.*" "\\1" layer "${source}")
  endif()
  if(NOT DEFINED allowed_${layer})
    list(APPEND failures "${source}: not inside a known layer")
    continue()
  endif()
  set(room "")
  if(layer STREQUAL "core" OR layer STREQUAL "engine")
    string(REGEX REPLACE "^src/${layer}/([^/]+)/.*" "\\1" room "${source}")
    list(FIND ${layer}_rooms "${room}" room_level)
    if(room_level EQUAL -1)
      list(APPEND failures "${source}: not inside a known room of ${layer}")
      continue()
    endif()
  endif()
  file(STRINGS ${ROOT}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line ${includes})
    string(STRIP "${line}" shown)
    if(line MATCHES "#[ \t]*include[ \t]*\"([^/\"]+)/[^\"]+\"")
      set(target ${CMAKE_MATCH_1})
      list(FIND allowed_${layer} ${target} found)
      if(found EQUAL -1)
        list(APPEND failures "${source}: ${shown} (${layer} may not include ${target})")
      elseif(room AND target STREQUAL layer AND line MATCHES "\"${layer}/([^/\"]+)/")
        set(target_room ${CMAKE_MATCH_1})
        list(FIND ${layer}_rooms "${target_room}" target_level)
        if(target_level GREATER room_level OR target_level EQUAL -1)
          list(APPEND failures
               "${source}: ${shown} (${layer}/${room} may not include ${layer}/${target_room})")
        endif()
      endif()
    elseif(line MATCHES "#[ \t]*include[ \t]*<(Q[A-Za-z]*)" AND layer IN_LIST no_qt)
      list(APPEND failures "${source}: <${CMAKE_MATCH_1}> (${layer} links no Qt)")
    endif()
  endforeach()
endforeach()

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "Includes against the layers:\n  ${text}")
endif()
list(LENGTH sources count)
message(STATUS "Layers hold: ${count} files checked")
