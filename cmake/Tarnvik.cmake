# tarnvik_add_test(<name> SOURCES <files...> [LIBS <targets...>] [TIMEOUT <s>])
# One QtTest executable per suite, registered with CTest. Suites that need a
# display run under the virtual display that scripts/test starts.
function(tarnvik_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  # The windows' ui_*.h come from the library that owns the layouts.
  set_target_properties(${name} PROPERTIES AUTOUIC OFF)
  target_compile_definitions(${name} PRIVATE
    TARNVIK_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    TARNVIK_FORUMSIM_PATH="$<TARGET_FILE:tarnvik-forumsim>"
    TARNVIK_CMAKE_COMMAND="${CMAKE_COMMAND}")
  add_dependencies(${name} tarnvik-forumsim)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 240)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(TARNVIK_SANITIZE)
    # Qt WebEngine's own libraries free some objects with a size of their own
    # that the sanitizer takes for a mismatch, and Qt keeps allocations to the
    # end of the process; neither is ours to judge.
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT_MODIFICATION
      "ASAN_OPTIONS=string_append::new_delete_type_mismatch=0:detect_leaks=0")
  endif()
endfunction()

# Adds every direct subfolder of the current folder that has a CMakeLists.txt,
# so that suites and benchmarks of each subsystem stay in their own folder.
function(tarnvik_add_subfolders)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
