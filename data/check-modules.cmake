# Fails unless every module the program installed under PREFIX can load is in
# PREFIX/lib/tovana-mervo: each name "tovana-mervo-*.so" found in the
# program's file, or in a module it names, is one row. Used on a staged
# install (check-install.cmake) and on the unpacked package
# (tools/check-package).
# Usage: cmake -DPREFIX=install-prefix -P data/check-modules.cmake
cmake_minimum_required(VERSION 3.25)
set(modules "${PREFIX}/lib/tovana-mervo")
set(named "")
set(unread "${PREFIX}/bin/tovana-mervo")
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
if(NOT named)
  message(FATAL_ERROR "the installed program names no module: is it the program?")
elseif(missing)
  message(FATAL_ERROR "the install lacks modules the program loads: ${missing}")
endif()
