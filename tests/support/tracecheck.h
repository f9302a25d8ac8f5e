// Checks the text dump of an apitrace recording of the menu (`apitrace dump
// -v --color=never --multiline=no --arg-names=no`) against the GL calls the
// menu must make: its start-up, every frame, and its teardown.
#ifndef TARNWICK_TEST_TRACECHECK_H
#define TARNWICK_TEST_TRACECHECK_H

#include <istream>
#include <string>
#include <vector>

// What was wrong, section by section; an empty list means as expected. Each
// problem names the dump's call number and, for frames, the frame (from 1).
struct trace_report {
    long frames = 0;                    // buffer swaps after start-up
    std::vector<std::string> context;   // the context GLFW asked for
    std::vector<std::string> startup;
    std::vector<std::string> frame;     // the first difference in each frame that has one
    std::vector<std::string> teardown;
};

// Reads the dump line by line, so a long recording need not fit in memory.
trace_report check_dump(std::istream& dump);

#endif
