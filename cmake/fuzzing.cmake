# The libFuzzer targets (clang, natively), each run briefly as a test from its committed seeds.
# scripts/fuzz runs them for longer.
set(fuzz_flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -g -O1)
set(DIALSERVER_FUZZ_SECONDS 20 CACHE STRING "How long each fuzz test runs")

function(dialserver_fuzzer name seeds)
  add_executable(${name} ${ARGN})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${fuzz_flags} -Wall -Wextra -Werror)
  target_link_options(${name} PRIVATE ${fuzz_flags})
  # New inputs go to the build folder; the committed seeds are only read.
  set(corpus ${CMAKE_BINARY_DIR}/corpus/${name})
  add_test(NAME ${name}
           COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
                   sh -c "mkdir -p '${corpus}' && exec \"$0\" \"$@\"" $<TARGET_FILE:${name}>
                   -max_total_time=${DIALSERVER_FUZZ_SECONDS} -print_final_stats=1 ${corpus}
                   ${CMAKE_SOURCE_DIR}/${seeds})
endfunction()

dialserver_fuzzer(text_fuzzer dial/fuzz_seeds dial/text_fuzzer.cpp dial/text.cpp)
dialserver_fuzzer(command_listener_fuzzer listener/fuzz_seeds listener/command_listener_fuzzer.cpp
                  listener/command_listener.cpp listener/client_table.cpp dial/text.cpp)
