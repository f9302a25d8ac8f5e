tarnwick_test(test_rotor SOURCES test_rotor.cpp test_vector.cpp LIBS tarnwick_math)
