// What the test engine needs of the operating system.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace testengine::platform {

// Standard input and output in binary mode, so that bytes cross unchanged; a
// closed output pipe is a failed write, not a signal.
void prepare_io();

// The program's arguments in UTF-8, the first being the program.
std::vector<std::string> arguments(int argc, char** argv);

// The command line exactly as the process received it; empty where the
// system hands over an argument vector instead (POSIX).
std::string raw_command_line();

std::string working_directory();

std::FILE* open_file(const std::string& utf8_path, const char* mode);

// Reads what standard input has, up to size bytes: the count, 0 at its end.
std::size_t read_input(char* buffer, std::size_t size);

// Writes all of the bytes to standard output; false once the other end is gone.
bool write_output(const char* data, std::size_t size);

// Ends the process abnormally: SIGABRT on POSIX (without a core file), exit
// code 3 on Windows (what the C run-time's abort reports).
[[noreturn]] void crash();

// Ends the process at once with the code, running no clean-up.
[[noreturn]] void exit_now(int code);

}  // namespace testengine::platform
