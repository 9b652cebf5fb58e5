# Installs a build into a scratch folder, as `make install` and the package
# do, and fails unless every module the installed program can load is there
# beside it (each name "tovana-mervo-*.so" found in the program's file, or in
# a module it names, is one row), and unless the installed program, run from
# elsewhere, finds its calendar module there and reads the example calendar.
# Usage: cmake -DBUILD=build-folder -DSOURCE=source-folder
#              -DSTAGE=scratch-folder -P data/check-install.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${STAGE})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${STAGE} ${CMAKE_COMMAND} --install ${BUILD} --prefix /usr
  OUTPUT_QUIET RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cmake --install ${BUILD} failed")
endif()

set(modules "${STAGE}/usr/lib/tovana-mervo")
set(named "")
set(unread "${STAGE}/usr/bin/tovana-mervo")
while(unread)
  list(POP_FRONT unread file)
  file(STRINGS ${file} texts REGEX "tovana-mervo-[a-z]+\\.so")
  string(REGEX MATCHALL "tovana-mervo-[a-z]+\\.so" names "${texts}")
  foreach(name IN LISTS names)
    if(NOT name IN_LIST named)
      list(APPEND named ${name})
      if(EXISTS ${modules}/${name})
        list(APPEND unread ${modules}/${name})
      endif()
    endif()
  endforeach()
endwhile()

set(missing "")
foreach(name IN LISTS named)
  if(EXISTS ${modules}/${name})
    message(STATUS "installed: lib/tovana-mervo/${name}")
  else()
    message(STATUS "MISSING: lib/tovana-mervo/${name}")
    list(APPEND missing ${name})
  endif()
endforeach()
cmake_minimum_required(VERSION 3.25)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env TOVANA_MERVO_CALENDARS=${SOURCE}/examples/calendars
          ${STAGE}/usr/bin/tovana-mervo --calendar-dump
  WORKING_DIRECTORY / OUTPUT_VARIABLE dump ERROR_VARIABLE dumpErrors RESULT_VARIABLE dumpStatus)
file(REMOVE_RECURSE ${STAGE})
if(NOT dumpStatus EQUAL 0 OR NOT dump MATCHES "^{\"ok\":true,\"items\":\\[{")
  message(FATAL_ERROR "the installed program's --calendar-dump gave status ${dumpStatus}: ${dump}${dumpErrors}")
endif()
if(NOT named)
  message(FATAL_ERROR "the installed program names no module: is it the program?")
elseif(missing)
  message(FATAL_ERROR "the install lacks modules the program loads: ${missing}")
endif()
