// testengine: a scripted engine for the tests of the adapter. See help.cpp.
#include <cstdio>
#include <string>
#include <vector>

#include "engine.h"
#include "help.h"
#include "input.h"
#include "platform.h"
#include "script.h"

namespace {

int fail(const std::string& message) {
  std::fprintf(stderr, "testengine: %s\n", message.c_str());
  return 2;
}

bool read_whole(const std::string& path, std::string& text) {
  std::FILE* f = testengine::platform::open_file(path, "rb");
  if (!f) return false;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

bool write_record(const std::string& path, const std::vector<std::string>& args) {
  std::FILE* f = testengine::platform::open_file(path, "wb");
  if (!f) return false;
  std::string text = "cwd " + testengine::platform::working_directory() + "\n";
#ifdef _WIN32
  text += "cmdline " + testengine::platform::raw_command_line() + "\n";
#endif
  for (std::size_t i = 0; i < args.size(); ++i) text += "arg " + std::to_string(i) + " " + args[i] + "\n";
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace testengine;
  platform::prepare_io();
  auto args = platform::arguments(argc, argv);

  std::string script_path, transcript_path, record_path, move;
  bool uci = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help") {
      std::string help = help_text();
      std::fwrite(help.data(), 1, help.size(), stdout);
      return 0;
    }
    if (a == "--uci") {
      uci = true;
      continue;
    }
    std::string* value = a == "--script"       ? &script_path
                         : a == "--transcript" ? &transcript_path
                         : a == "--record"     ? &record_path
                         : a == "--move"       ? &move
                                               : nullptr;
    if (value) {
      if (++i == args.size() || args[i].empty()) return fail(a + " needs a value");
      *value = args[i];
    } else if (a.starts_with("--")) {
      return fail("unknown option " + a + " (try --help)");
    }
  }
  if (!script_path.empty() && !move.empty()) return fail("--move is for running without --script");
  if (!script_path.empty() && uci) return fail("--uci is for running without --script");
  if (!uci && split_words(move).size() > 1) return fail("--move takes one move (a ponder move only with --uci)");

  std::string text;
  if (script_path.empty()) {
    text = uci ? default_uci_script(move) : default_script(move);
  } else if (!read_whole(script_path, text)) {
    return fail("cannot read the script " + script_path);
  }
  ParseResult parsed = parse_script(text);
  if (!parsed.script) return fail((script_path.empty() ? "--move: " : script_path + ", ") + parsed.error);

  if (!record_path.empty() && !write_record(record_path, args))
    return fail("cannot write the record " + record_path);
  std::FILE* transcript = nullptr;
  if (!transcript_path.empty() && !(transcript = platform::open_file(transcript_path, "ab")))
    return fail("cannot open the transcript " + transcript_path);

  Input input(transcript);
  Engine engine(*parsed.script, input);
  input.start();
  engine.run();
}
