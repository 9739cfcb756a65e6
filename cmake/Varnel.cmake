# Small helpers shared by the folders' CMakeLists.

# varnel_test(NAME SOURCES... LIBS ...): a GoogleTest program whose cases CTest lists one by one.
function(varnel_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} varnel_test_env GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
  )
endfunction()

# varnel_fuzz(NAME SOURCE LIBS...): a libFuzzer target, built only with -DVARNEL_FUZZ=ON.
function(varnel_fuzz name source)
  if(VARNEL_FUZZ)
    # The leak suppressions of sanitizer builds: system libraries' caches and libgsf's
    # directory entries of a damaged compound file are not leaks of ours.
    add_executable(${name} ${source} ${CMAKE_SOURCE_DIR}/cmake/lsan_suppressions.cpp)
    target_link_libraries(${name} PRIVATE ${ARGN})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  endif()
endfunction()
