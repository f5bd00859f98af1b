# Helpers that keep the per-folder CMakeLists.txt files short.

# vq_library(<name> [DEPS <targets...>] [SOURCES_DIR <dir>])
# A static library from every .cpp of the calling folder (recursively unless
# FLAT is given); headers are included from the repository root.
function(vq_library name)
  cmake_parse_arguments(A "FLAT" "" "DEPS;EXCLUDE" ${ARGN})
  if(A_FLAT)
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  else()
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  foreach(pattern IN LISTS A_EXCLUDE)
    list(FILTER sources EXCLUDE REGEX "${pattern}")
  endforeach()
  if(NOT sources)
    # A folder whose first sources are still being written builds as empty.
    set(sources ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${sources} "// no sources yet\n")
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${A_DEPS})
endfunction()

# vq_test_suite(<name> [LIBS <targets...>] [LABELS <labels...>])
# One GoogleTest executable from every .cpp of the calling folder, linked with
# the shared test main; each test becomes its own CTest entry. Suites are
# labelled "unit" unless LABELS says otherwise (the sanitizer build runs "unit").
function(vq_test_suite name)
  cmake_parse_arguments(A "" "TIMEOUT" "LIBS;LABELS;SOURCES" ${ARGN})
  if(A_SOURCES)
    set(sources ${A_SOURCES})
  else()
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  if(NOT sources)
    return()
  endif()
  if(NOT A_LABELS)
    set(A_LABELS unit)
  endif()
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 300)
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE vq_test_main ${A_LIBS})
  # Tesseract's OpenMP team spins while it waits for work: with every core
  # busy (ctest runs many tests at once) one page takes minutes instead of
  # seconds, so tests run it on one thread.
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 120
    PROPERTIES LABELS "${A_LABELS}" TIMEOUT ${A_TIMEOUT}
               ENVIRONMENT "VQ_TEST_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
               ENVIRONMENT_MODIFICATION "OMP_THREAD_LIMIT=set:1")
endfunction()

# vq_benchmark(<name> <sources...> LIBS <targets...>)
function(vq_benchmark name)
  cmake_parse_arguments(A "" "" "LIBS" ${ARGN})
  add_executable(${name} ${A_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE benchmark::benchmark benchmark::benchmark_main ${A_LIBS})
endfunction()

# vq_fuzz_target(<name> <source> LIBS <targets...>)
# With VQ_FUZZ (clang) a libFuzzer binary; otherwise the same entry point
# linked with a replay main that CTest runs over fuzz/corpus/<name>.
function(vq_fuzz_target name source)
  cmake_parse_arguments(A "" "" "LIBS" ${ARGN})
  if(VQ_FUZZ)
    add_executable(${name} ${source})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(${name} PRIVATE ${A_LIBS})
    set_property(GLOBAL APPEND PROPERTY VQ_FUZZ_TARGETS ${name})
  else()
    string(REGEX REPLACE "^fuzz_" "" corpus ${name})
    add_executable(${name}_replay ${source} ${PROJECT_SOURCE_DIR}/fuzz/ReplayMain.cpp)
    target_link_libraries(${name}_replay PRIVATE ${A_LIBS})
    add_test(NAME fuzz_replay.${name}
             COMMAND ${name}_replay ${PROJECT_SOURCE_DIR}/fuzz/corpus/${corpus})
    set_tests_properties(fuzz_replay.${name} PROPERTIES LABELS "unit;fuzz" TIMEOUT 300)
  endif()
endfunction()
