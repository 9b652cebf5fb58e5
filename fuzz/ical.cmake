# The iCalendar reader under libFuzzer, from the calendar store's library.
add_executable(fuzz_ical_reader ical_reader_fuzz.cpp)
target_link_libraries(fuzz_ical_reader PRIVATE mervo_ical)
