# A short run of every fuzz target as a test of the ordinary test build. The targets
# are built with clang in VELMORA_FUZZ_DIR (the Makefile's test target does that when
# clang is installed); without them the tests report themselves skipped.
set(VELMORA_FUZZ_DIR "${CMAKE_SOURCE_DIR}/build/fuzz" CACHE PATH "Folder of the built fuzz targets")
set(VELMORA_FUZZ_SMOKE_SECONDS 10 CACHE STRING "Seconds each fuzz target runs as a test")
foreach(name design_file settings inventory request_file)
  add_test(NAME fuzz_${name}
           COMMAND bash ${CMAKE_SOURCE_DIR}/fuzz/run.sh ${VELMORA_FUZZ_DIR} ${VELMORA_FUZZ_SMOKE_SECONDS} ${name})
  set_tests_properties(fuzz_${name} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300 RUN_SERIAL TRUE)
endforeach()
