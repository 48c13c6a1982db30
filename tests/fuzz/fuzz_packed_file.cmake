# Fuzzer of the trailer check, the buffered entry walk, the decompression of entries and, for a file
# with a valid trailer, the extraction with its records (clang, libFuzzer). The reader's sources are
# compiled into the fuzzer itself with a small read buffer; the rest of the engine comes instrumented
# from zcore_fuzz (records_and_command_lines.cmake), whose reader objects are then not linked.
# Seeds: the sample packed file and two small packed files made by zpack at build time, one of them
# with a record file, and the other appended to a program signed afterwards (a certificate table at
# the end).
if(Z_FUZZ AND NOT WIN32 AND TARGET zpack)
  set(z_fuzz_pf_seeds ${CMAKE_CURRENT_BINARY_DIR}/fuzz_packed_file_seeds)
  set(z_fuzz_pf_corpus ${CMAKE_CURRENT_BINARY_DIR}/fuzz_packed_file_corpus)
  file(MAKE_DIRECTORY ${z_fuzz_pf_corpus})
  add_custom_command(
    OUTPUT ${z_fuzz_pf_seeds}/small.zpk ${z_fuzz_pf_seeds}/records.zpk ${z_fuzz_pf_seeds}/connect.zpk
           ${z_fuzz_pf_seeds}/signed.exe
    COMMAND ${CMAKE_COMMAND} -E make_directory ${z_fuzz_pf_seeds}
    COMMAND zpack create ${z_fuzz_pf_seeds}/small.zpk --title Seed --subdir "\\A" --time 0
            ${Z_SAMPLE_DIR}/connect/config/vorlagen
    COMMAND zpack create ${z_fuzz_pf_seeds}/records.zpk --title Records --subdir "\\A" --time 0
            ${Z_SAMPLE_DIR}/connect/config
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/sample/connect.zpk ${z_fuzz_pf_seeds}/connect.zpk
    COMMAND python3 ${CMAKE_CURRENT_LIST_DIR}/signed_seed.py program ${CMAKE_CURRENT_BINARY_DIR}/seed_program.exe
    COMMAND zpack create ${CMAKE_CURRENT_BINARY_DIR}/seed_unsigned.exe --title Seed --subdir "\\A" --time 0
            --append-to ${CMAKE_CURRENT_BINARY_DIR}/seed_program.exe ${Z_SAMPLE_DIR}/connect/config/vorlagen
    COMMAND python3 ${CMAKE_CURRENT_LIST_DIR}/signed_seed.py sign ${CMAKE_CURRENT_BINARY_DIR}/seed_unsigned.exe
            ${z_fuzz_pf_seeds}/signed.exe
    DEPENDS zpack zsample ${CMAKE_CURRENT_LIST_DIR}/signed_seed.py
    VERBATIM)
  add_custom_target(fuzz_packed_file_seeds ALL DEPENDS ${z_fuzz_pf_seeds}/small.zpk)
  file(GLOB z_fuzz_pf_explode CONFIGURE_DEPENDS ${Z_ROOT}/engine/explode*.cpp)
  add_executable(fuzz_packed_file ${CMAKE_CURRENT_LIST_DIR}/fuzz_packed_file.cpp ${Z_ROOT}/engine/packed_file.cpp
                 ${Z_ROOT}/engine/signed_program.cpp
                 ${Z_ROOT}/engine/source_reader.cpp
                 ${z_fuzz_pf_explode})
  target_compile_options(fuzz_packed_file PRIVATE -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
  target_compile_definitions(fuzz_packed_file PRIVATE Z_SOURCE_BUFFER_SIZE=61)  # refills inside entries
  target_link_options(fuzz_packed_file PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(fuzz_packed_file PRIVATE zcore_fuzz)
  add_dependencies(fuzz_packed_file fuzz_packed_file_seeds)
  add_test(NAME fuzz_packed_file
           COMMAND fuzz_packed_file -max_total_time=50 -max_len=32768 -timeout=10 ${z_fuzz_pf_corpus} ${z_fuzz_pf_seeds})
  set_tests_properties(fuzz_packed_file PROPERTIES LABELS fuzz TIMEOUT 240)
endif()
