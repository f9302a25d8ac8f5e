// Captures what the code under test writes to standard output and standard
// error, at the file-descriptor level, so printf, puts, perror and std::cout
// are all seen in the order they reach each stream.
#ifndef TARNWICK_TEST_CAPTURE_H
#define TARNWICK_TEST_CAPTURE_H

#include <string>
#include <vector>

struct captured {
    std::string out;
    std::string err;
};

class OutputCapture {
public:
    OutputCapture();
    ~OutputCapture();
    OutputCapture(const OutputCapture&) = delete;
    OutputCapture& operator=(const OutputCapture&) = delete;

    // Stops capturing and returns everything written since construction.
    captured finish();

private:
    int saved_out_ = -1;
    int saved_err_ = -1;
    int out_file_ = -1;
    int err_file_ = -1;
};

// Splits text into lines without their newlines; a final newline ends the last line.
std::vector<std::string> split_lines(const std::string& text);

#endif
