# Calendar side: the calendar dump in the core, and the iCalendar store in its
# own module, tovana-mervo-calendar.so, so that only calendar work loads
# libical (and the ICU under it).
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBICAL REQUIRED IMPORTED_TARGET libical)
pkg_check_modules(ICU REQUIRED IMPORTED_TARGET icu-uc icu-i18n)

target_sources(mervo_core PRIVATE
  calendar_dump.cpp
  calendar_dump_text.cpp
  json_text.cpp
  random_uuid.cpp)

# The store's code, shared by the module and the store's tests.
add_library(mervo_ical_store STATIC
  calendar_locations.cpp
  civil_time.cpp
  ical_calendar_store.cpp
  ical_file_index.cpp
  ical_input_text.cpp
  ical_reader.cpp
  ical_series.cpp
  ical_time_zones.cpp)
target_link_libraries(mervo_ical_store PUBLIC mervo_core PkgConfig::LIBICAL PkgConfig::ICU)

add_library(tovana-mervo-calendar MODULE calendar_store_module.cpp)
target_link_libraries(tovana-mervo-calendar PRIVATE mervo_ical_store)
set_target_properties(tovana-mervo-calendar PROPERTIES PREFIX "" SUFFIX ".so")

if(MERVO_TESTS)
  add_executable(calendar_dump_tests calendar_dump_text_test.cpp)
  target_link_libraries(calendar_dump_tests PRIVATE mervo_test_support GTest::gtest_main)
  gtest_discover_tests(calendar_dump_tests DISCOVERY_MODE PRE_TEST)

  add_executable(calendar_store_tests ical_reader_test.cpp ical_calendar_store_test.cpp)
  target_link_libraries(calendar_store_tests PRIVATE mervo_ical_store mervo_test_support GTest::gtest_main)
  add_dependencies(calendar_store_tests tovana-mervo tovana-mervo-calendar)
  gtest_discover_tests(calendar_store_tests DISCOVERY_MODE PRE_TEST)
endif()
