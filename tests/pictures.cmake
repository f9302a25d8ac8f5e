# The picture tool, run as a real program; the tests write and read PNGs themselves.
tarnwick_test(test_rgbatool SOURCES test_rgbatool.cpp LIBS PNG::PNG)
target_compile_definitions(test_rgbatool PRIVATE RGBATOOL_BINARY="$<TARGET_FILE:rgbatool>")
add_dependencies(test_rgbatool rgbatool)
