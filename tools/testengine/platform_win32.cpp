#include "platform.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include <climits>
#include <memory>

namespace testengine::platform {
namespace {

std::string utf8_of(const wchar_t* wide) {
  int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, out.data(), size, nullptr, nullptr);
  out.resize(static_cast<std::size_t>(size - 1));
  return out;
}

std::wstring wide_of(const std::string& utf8) {
  int size = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  if (size <= 1) return {};
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, out.data(), size);
  out.resize(static_cast<std::size_t>(size - 1));
  return out;
}

constexpr unsigned kChunk = 1u << 20;  // _read and _write take an unsigned count

}  // namespace

void prepare_io() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

std::vector<std::string> arguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return {argv, argv + argc};
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) out.push_back(utf8_of(wide[i]));
  LocalFree(wide);
  return out;
}

std::string raw_command_line() { return utf8_of(GetCommandLineW()); }

std::string working_directory() {
  DWORD size = GetCurrentDirectoryW(0, nullptr);
  if (size == 0) return {};
  std::wstring dir(size, L'\0');
  DWORD used = GetCurrentDirectoryW(size, dir.data());
  if (used == 0 || used >= size) return {};
  dir.resize(used);
  return utf8_of(dir.c_str());
}

std::FILE* open_file(const std::string& utf8_path, const char* mode) {
  std::wstring wide_mode(mode, mode + std::char_traits<char>::length(mode));
  return _wfopen(wide_of(utf8_path).c_str(), wide_mode.c_str());
}

std::size_t read_input(char* buffer, std::size_t size) {
  int n = _read(_fileno(stdin), buffer, static_cast<unsigned>(size < kChunk ? size : kChunk));
  return n > 0 ? static_cast<std::size_t>(n) : 0;
}

bool write_output(const char* data, std::size_t size) {
  while (size > 0) {
    int n = _write(_fileno(stdout), data, static_cast<unsigned>(size < kChunk ? size : kChunk));
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

void crash() { exit_now(3); }

// Not ExitProcess: the C run-time's clean-up could wait for a lock that the
// reading thread, stopped mid-read, still holds.
void exit_now(int code) {
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
  ExitProcess(static_cast<UINT>(code));
}

}  // namespace testengine::platform
