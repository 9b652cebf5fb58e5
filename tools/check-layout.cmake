# The include rule of the layers: a file includes only from its own folder and
# from the folders below it, and no files include each other in a loop. Every
# library may see the project root (includes are spelled "folder/file.h"), so
# the compiler alone would let an upward include pass; this check does not.
# Run with: cmake -DROOT=<project root> -P tools/check-layout.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT ROOT)
  message(FATAL_ERROR "check-layout: pass -DROOT=<project root>")
endif()

# What each folder may include besides itself: folders, or single files.
set(allowed_base "")
set(allowed_install base)
set(allowed_scripts base install)
set(allowed_sources_store base)
set(allowed_sources_vcard base sources/store)
set(allowed_sources_ical base sources/store)
set(allowed_sources base sources/store)
# The desktop store reads with the readers of both file stores.
set(allowed_sources_eds base sources/store sources/ical sources/vcard)
set(allowed_ui base install scripts sources/access_requests.h)
set(allowed_app base install scripts sources sources/store ui)
# The one unit that chooses this machine's stores sees the stores themselves.
set(allowed_file_sources/machine_stores.cpp sources/vcard)
# The shared test support includes nothing of the project; tests and their
# helpers see it besides what their folder may include. The lowest layer's
# tests stand on that layer alone, as its code does.
set(allowed_tests "")
set(allowed_for_tests tests)

file(GLOB_RECURSE files RELATIVE ${ROOT}
  ${ROOT}/app/*.h ${ROOT}/app/*.cpp ${ROOT}/base/*.h ${ROOT}/base/*.cpp
  ${ROOT}/install/*.h ${ROOT}/install/*.cpp ${ROOT}/scripts/*.h ${ROOT}/scripts/*.cpp
  ${ROOT}/sources/*.h ${ROOT}/sources/*.cpp ${ROOT}/ui/*.h ${ROOT}/ui/*.cpp
  ${ROOT}/tests/*.h ${ROOT}/tests/*.cpp)

set(faults "")
foreach(file IN LISTS files)
  get_filename_component(folder ${file} DIRECTORY)
  string(REPLACE "/" "_" key ${folder})
  if(NOT DEFINED allowed_${key})
    list(APPEND faults "${file}: folder ${folder} has no place among the layers")
    continue()
  endif()
  set(allowed ${allowed_${key}} ${allowed_file_${file}})
  get_filename_component(name ${file} NAME)
  if(name MATCHES "test" AND NOT key STREQUAL "base")
    list(APPEND allowed ${allowed_for_tests})
  endif()
  file(STRINGS ${ROOT}/${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]+/[^\"]+\"")
  set(includes_${file} "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" included "${line}")
    get_filename_component(included_folder ${included} DIRECTORY)
    if(EXISTS ${ROOT}/${included})
      list(APPEND includes_${file} ${included})
    endif()
    if(included_folder STREQUAL folder OR included_folder IN_LIST allowed OR included IN_LIST allowed)
      continue()
    endif()
    list(APPEND faults "${file} includes ${included}: ${folder}/ may include only its own folder and ${allowed}")
  endforeach()
endforeach()

# Loops: take away, round after round, every file whose includes are all
# taken away already; what is left includes itself through others.
set(left ${files})
set(taken "")
while(TRUE)
  set(round "")
  foreach(file IN LISTS left)
    set(ready TRUE)
    foreach(included IN LISTS includes_${file})
      if(NOT included IN_LIST taken)
        set(ready FALSE)
        break()
      endif()
    endforeach()
    if(ready)
      list(APPEND round ${file})
    endif()
  endforeach()
  if(NOT round)
    break()
  endif()
  list(APPEND taken ${round})
  list(REMOVE_ITEM left ${round})
endwhile()
foreach(file IN LISTS left)
  list(APPEND faults "${file} is part of an include loop (includes ${includes_${file}})")
endforeach()

if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "The layers' include rule is broken:\n  ${text}")
endif()
