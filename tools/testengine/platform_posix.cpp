#include "platform.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>

namespace testengine::platform {

void prepare_io() { std::signal(SIGPIPE, SIG_IGN); }

std::vector<std::string> arguments(int argc, char** argv) { return {argv, argv + argc}; }

std::string raw_command_line() { return {}; }

std::string working_directory() {
  std::error_code ec;
  return std::filesystem::current_path(ec).string();
}

std::FILE* open_file(const std::string& utf8_path, const char* mode) {
  return std::fopen(utf8_path.c_str(), mode);
}

std::size_t read_input(char* buffer, std::size_t size) {
  for (;;) {
    ssize_t n = ::read(STDIN_FILENO, buffer, size);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) return 0;
  }
}

bool write_output(const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(STDOUT_FILENO, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

void crash() {
  rlimit none{0, 0};
  ::setrlimit(RLIMIT_CORE, &none);
  std::abort();
}

void exit_now(int code) { ::_exit(code); }

}  // namespace testengine::platform
