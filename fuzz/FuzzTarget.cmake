# tarnvik_add_fuzz_target(<name> SOURCES <harness> <sources under test...>)
# A libFuzzer target: the harness and the sources it examines are compiled
# into the target with the fuzzer's coverage instrumentation; whatever else
# they need comes from the core library.
function(tarnvik_add_fuzz_target name)
  cmake_parse_arguments(F "" "" "SOURCES" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE tarnvik_core)
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
endfunction()
