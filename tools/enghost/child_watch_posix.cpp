#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "child_watch.h"

namespace enghost {

namespace {

// Parent and state of a process from /proc/PID/stat; false when it is gone.
bool ReadStat(long id, long* parent, char* state) {
    std::ifstream in("/proc/" + std::to_string(id) + "/stat");
    std::string text;
    if (!std::getline(in, text)) return false;
    // The name in parentheses may hold blanks: the fields follow its last ')'.
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) return false;
    std::istringstream fields(text.substr(close + 1));
    fields >> *state >> *parent;
    return static_cast<bool>(fields);
}

}  // namespace

std::set<long> ChildProcesses() {
    std::set<long> children;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        char* end = nullptr;
        const long id = std::strtol(name.c_str(), &end, 10);
        if (end == name.c_str() || *end != '\0') continue;
        long parent = 0;
        char state = 0;
        if (ReadStat(id, &parent, &state) && parent == getpid() && state != 'Z' && state != 'X')
            children.insert(id);
    }
    return children;
}

ChildProcess::ChildProcess(long id) : id_(id) {}
ChildProcess::~ChildProcess() = default;

bool ChildProcess::Alive() const {
    long parent = 0;
    char state = 0;
    // Once reaped the id may come back for another process, but not as ours.
    return ReadStat(id_, &parent, &state) && parent == getpid() && state != 'Z' && state != 'X';
}

void ChildProcess::Kill() {
    if (Alive()) kill(static_cast<pid_t>(id_), SIGKILL);
}

}  // namespace enghost
