# Tests of the rotor library: plain GoogleTest binaries without the GL support
# library. Test names carry the binary's name, so that the two binaries below,
# which run the same tests, register distinct names ("test_rotor.Geo.QuotedPairs").
function(rotor_test name)
  cmake_parse_arguments(arg "" "SKIP_REGULAR_EXPRESSION" "SOURCES" ${ARGN})
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE GTest::gtest_main)
  # Test code computes expected values too: it keeps the library's rule of no contraction.
  target_compile_options(${name} PRIVATE -ffp-contract=off)
  tarnwick_warnings(${name})
  if(TARNWICK_SANITIZE)
    add_dependencies(${name} nodlclose)
  endif()
  set(skip "")
  if(arg_SKIP_REGULAR_EXPRESSION)
    set(skip SKIP_REGULAR_EXPRESSION "${arg_SKIP_REGULAR_EXPRESSION}")
  endif()
  # ENVIRONMENT last: test_env is often empty.
  gtest_discover_tests(${name} TEST_PREFIX "${name}." DISCOVERY_MODE PRE_TEST
                       PROPERTIES ${skip} ENVIRONMENT "${test_env}")
endfunction()

rotor_test(test_rotor SOURCES test_rotor.cpp)
target_link_libraries(test_rotor PRIVATE tarnwick_math)

# The library, with its own compile options, and the same tests again,
# optimised and with FMA instructions available to the compiler: the results
# must not change. Skips at run time on a CPU without FMA.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64")
  set(math_dir ${PROJECT_SOURCE_DIR}/src)
  add_library(tarnwick_math_fma OBJECT ${math_dir}/ga.cpp ${math_dir}/dot.cpp ${math_dir}/norm3d.cpp)
  target_include_directories(tarnwick_math_fma PUBLIC ${math_dir})
  target_compile_options(tarnwick_math_fma PRIVATE
    $<TARGET_PROPERTY:tarnwick_math,COMPILE_OPTIONS> -O2 -mfma)

  # A skip in GoogleTest's global set-up prints no "[  SKIPPED ]" line, only its message.
  rotor_test(test_rotor_fma SOURCES test_rotor.cpp
             SKIP_REGULAR_EXPRESSION "this CPU has no FMA instructions")
  target_compile_options(test_rotor_fma PRIVATE -O2 -mfma)
  target_link_libraries(test_rotor_fma PRIVATE tarnwick_math_fma m)
endif()
