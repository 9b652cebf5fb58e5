# The vCard reader under libFuzzer: splitting, property parsing, value
# decoding and card building, compiled from the reader's own sources.
add_executable(fuzz_vcard_reader
  vcard_reader_fuzz.cpp
  ${PROJECT_SOURCE_DIR}/app/unique_fd.cpp
  ${PROJECT_SOURCE_DIR}/sources/linked_picture.cpp
  ${PROJECT_SOURCE_DIR}/sources/utf8_text.cpp
  ${PROJECT_SOURCE_DIR}/sources/vcard_card.cpp
  ${PROJECT_SOURCE_DIR}/sources/vcard_lines.cpp
  ${PROJECT_SOURCE_DIR}/sources/vcard_photo.cpp
  ${PROJECT_SOURCE_DIR}/sources/vcard_property.cpp
  ${PROJECT_SOURCE_DIR}/sources/vcard_reader.cpp
  ${PROJECT_SOURCE_DIR}/sources/vcard_values.cpp)
