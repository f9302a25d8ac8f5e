# Optimised builds only, for time.
if(CMAKE_BUILD_TYPE STREQUAL "Release" AND NOT TARNWICK_SANITIZE)
  add_test(NAME package COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/package.sh)
  set_tests_properties(package PROPERTIES RESOURCE_LOCK test_menu)  # it moves the pointer too
endif()
