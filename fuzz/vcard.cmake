# The vCard reader under libFuzzer: splitting, property parsing, value
# decoding and card building, from the vCard store's library.
add_executable(fuzz_vcard_reader vcard_reader_fuzz.cpp)
target_link_libraries(fuzz_vcard_reader PRIVATE mervo_vcard)
