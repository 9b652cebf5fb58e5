# Installs a build into a scratch folder, as `make install` and the package
# do, and fails unless every module the installed program can load is there
# beside it (check-modules.cmake), and unless the installed program, run from
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

set(PREFIX ${STAGE}/usr)
include(${CMAKE_CURRENT_LIST_DIR}/check-modules.cmake)

execute_process(
  COMMAND ${CMAKE_COMMAND} -E env TOVANA_MERVO_CALENDARS=${SOURCE}/examples/calendars
          ${STAGE}/usr/bin/tovana-mervo --calendar-dump
  WORKING_DIRECTORY / OUTPUT_VARIABLE dump ERROR_VARIABLE dumpErrors RESULT_VARIABLE dumpStatus)
file(REMOVE_RECURSE ${STAGE})
if(NOT dumpStatus EQUAL 0 OR NOT dump MATCHES "^{\"ok\":true,\"items\":\\[{")
  message(FATAL_ERROR "the installed program's --calendar-dump gave status ${dumpStatus}: ${dump}${dumpErrors}")
endif()
