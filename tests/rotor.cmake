# The rotor tests twice: against the library as built, and against it built optimised with FMA
# instructions, which must not change a bit. A CPU without FMA skips in the global set-up.
function(rotor_test name math_library)
  add_executable(${name} test_rotor.cpp)
  target_link_libraries(${name} PRIVATE ${math_library} GTest::gtest_main)
  target_compile_options(${name} PRIVATE ${ARGN})
  tarnwick_warnings(${name})
  gtest_discover_tests(${name} TEST_PREFIX "${name}." DISCOVERY_MODE PRE_TEST PROPERTIES
                       SKIP_REGULAR_EXPRESSION "this CPU has no FMA instructions" ENVIRONMENT "${test_env}")
endfunction()
rotor_test(test_rotor tarnwick_math)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64")
  add_library(tarnwick_math_fma OBJECT ../src/ga.cpp ../src/dot.cpp ../src/norm3d.cpp)
  target_include_directories(tarnwick_math_fma PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(tarnwick_math_fma PRIVATE $<TARGET_PROPERTY:tarnwick_math,COMPILE_OPTIONS> -O2 -mfma)
  rotor_test(test_rotor_fma tarnwick_math_fma -O2 -mfma)
endif()
