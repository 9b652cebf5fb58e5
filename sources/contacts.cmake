# The contacts side of the native sources: the result writer, the access
# requests, the vCard contacts store and the three contacts modes.

target_sources(mervo_core PRIVATE
  access_requests.cpp
  contact_face_export.cpp
  contact_faces_scan.cpp
  contacts_dump.cpp
  contacts_locations.cpp
  contacts_modes.cpp
  face_file.cpp
  face_file_in_place.cpp
  face_file_signals.cpp
  face_file_temps.cpp
  result_writer.cpp
  vcard_card.cpp
  vcard_contacts_store.cpp
  vcard_file_reader.cpp
  vcard_lines.cpp
  vcard_photo.cpp
  vcard_property.cpp
  vcard_reader.cpp
  vcard_values.cpp)

if(MERVO_TESTS)
  add_executable(contacts_tests
    access_requests_test.cpp
    contacts_modes_test.cpp
    contacts_program_test.cpp
    face_file_test.cpp
    result_writer_test.cpp
    vcard_contacts_store_test.cpp
    vcard_file_reader_test.cpp
    vcard_reader_test.cpp)
  # The calendar store's code too: the access tests hold both stores.
  target_link_libraries(contacts_tests PRIVATE mervo_ical_store mervo_test_support GTest::gtest_main)
  add_dependencies(contacts_tests tovana-mervo tovana-mervo-calendar)
  gtest_discover_tests(contacts_tests DISCOVERY_MODE PRE_TEST)
endif()
