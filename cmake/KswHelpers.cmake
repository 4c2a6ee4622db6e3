# Common compile options, test registration and fuzz targets.

add_library(ksw_options INTERFACE)
target_compile_options(ksw_options INTERFACE -Wall -Wextra -Wpedantic -Wno-missing-field-initializers $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>)
if(KSW_WERROR)
  target_compile_options(ksw_options INTERFACE -Werror)
endif()

if(KSW_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(KSW_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# With libFuzzer every library is built with coverage, so the fuzzers see into the code they drive.
if(KSW_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# ksw_add_gtest(<name> SOURCES ... LIBS ... [LABELS ...])
# Builds one GoogleTest program and registers each of its tests with CTest.
function(ksw_add_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} ksw_options GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS "${T_LABELS}" ENVIRONMENT "KSW_TEST_BINARY_DIR=${CMAKE_BINARY_DIR}")
endfunction()

# ksw_add_fuzzer(<name> SOURCES ... LIBS ... CORPUS <dir>)
# With KSW_FUZZ (clang) this is a libFuzzer target; otherwise the same entry point is linked
# with a small driver that replays every file of the corpus, and CTest runs that replay, so a
# regression found once by fuzzing stays caught on every build.
function(ksw_add_fuzzer name)
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS} ksw_options)
  if(KSW_FUZZ)
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
  endif()
  if(KSW_FUZZ)
    add_test(NAME fuzz_replay.${name} COMMAND ${name} -runs=0 ${F_CORPUS})
  else()
    add_test(NAME fuzz_replay.${name} COMMAND ${name} ${F_CORPUS})
  endif()
  set_tests_properties(fuzz_replay.${name} PROPERTIES LABELS fuzz)
endfunction()

# ksw_layer(<name> SOURCES ... BELOW <layer>... LIBS ...)
# One engine layer: a static library ksw_<name> built from ksw/<name>/. Its sources see only
# the folders of the layers named in BELOW and their own: the include root of the layer is a
# folder of links made for it in the build tree, so an include of a higher layer ("station/..."
# from runtime) does not compile.
function(ksw_layer name)
  cmake_parse_arguments(L "" "" "SOURCES;BELOW;LIBS" ${ARGN})
  set(view ${CMAKE_BINARY_DIR}/layer-views/${name})
  file(MAKE_DIRECTORY ${view})
  foreach(folder ${name} ${L_BELOW})
    if(NOT EXISTS ${view}/${folder})
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/ksw/${folder} ${view}/${folder} SYMBOLIC)
    endif()
  endforeach()
  add_library(ksw_${name} STATIC ${L_SOURCES})
  target_include_directories(ksw_${name} PUBLIC ${view})
  target_link_libraries(ksw_${name} PUBLIC ${L_LIBS} PRIVATE ksw_options)
endfunction()
