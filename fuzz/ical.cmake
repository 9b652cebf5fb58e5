# The iCalendar reader, compiled here with the fuzzer's instrumentation.
find_package(PkgConfig REQUIRED)
pkg_check_modules(FUZZ_LIBICAL REQUIRED IMPORTED_TARGET libical)
pkg_check_modules(FUZZ_ICU REQUIRED IMPORTED_TARGET icu-uc icu-i18n)
add_executable(fuzz_ical_reader
  ical_reader_fuzz.cpp
  ${PROJECT_SOURCE_DIR}/sources/civil_time.cpp
  ${PROJECT_SOURCE_DIR}/sources/ical_file_index.cpp
  ${PROJECT_SOURCE_DIR}/sources/ical_input_text.cpp
  ${PROJECT_SOURCE_DIR}/sources/ical_reader.cpp
  ${PROJECT_SOURCE_DIR}/sources/ical_series.cpp
  ${PROJECT_SOURCE_DIR}/sources/ical_time_zones.cpp
  ${PROJECT_SOURCE_DIR}/sources/utf8_text.cpp)
target_link_libraries(fuzz_ical_reader PRIVATE PkgConfig::FUZZ_LIBICAL PkgConfig::FUZZ_ICU)
