# The rotor tests, also on the library built with -O2 -mfma where the CPU has FMA: its exact
# results must not change with the compiler's freedom.
function(rotor_test name math_library)
  add_executable(${name} test_rotor.cpp)
  target_link_libraries(${name} PRIVATE ${math_library} GTest::gtest_main)
  tarnwick_warnings(${name})
  tarnwick_test_env(${name})
  gtest_discover_tests(${name} TEST_PREFIX "${name}." DISCOVERY_MODE PRE_TEST)
endfunction()
rotor_test(test_rotor tarnwick_math)
file(READ /proc/cpuinfo cpu)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64" AND cpu MATCHES " fma ")
  add_library(tarnwick_math_fma OBJECT ../src/ga.cpp ../src/dot.cpp ../src/norm3d.cpp)
  target_include_directories(tarnwick_math_fma PUBLIC ../src)
  target_compile_options(tarnwick_math_fma PRIVATE
                         $<TARGET_PROPERTY:tarnwick_math,COMPILE_OPTIONS> -O2 -mfma)
  rotor_test(test_rotor_fma tarnwick_math_fma)
endif()
