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

// Parent, state and process group of a process from /proc/PID/stat; false
// when it is gone.
bool ReadStat(long id, long* parent, char* state, long* group = nullptr) {
    std::ifstream in("/proc/" + std::to_string(id) + "/stat");
    std::string text;
    if (!std::getline(in, text)) return false;
    // The name in parentheses may hold blanks: the fields follow its last ')'.
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) return false;
    std::istringstream fields(text.substr(close + 1));
    long pgrp = 0;
    fields >> *state >> *parent >> pgrp;
    if (group) *group = pgrp;
    return static_cast<bool>(fields);
}

// The ids of /proc's processes.
template <typename Visit>
void EachProcess(Visit visit) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        char* end = nullptr;
        const long id = std::strtol(name.c_str(), &end, 10);
        if (end != name.c_str() && *end == '\0') visit(id);
    }
}

}  // namespace

std::set<long> ChildProcesses() {
    std::set<long> children;
    EachProcess([&](long id) {
        long parent = 0;
        char state = 0;
        if (ReadStat(id, &parent, &state) && parent == getpid() && state != 'Z' && state != 'X')
            children.insert(id);
    });
    return children;
}

ChildProcess::ChildProcess(long id) : id_(id) {
    long parent = 0, group = 0;
    char state = 0;
    // The module starts its engine in a process group of its own.
    leader_ = ReadStat(id_, &parent, &state, &group) && group == id_;
}
ChildProcess::~ChildProcess() = default;

bool ChildProcess::Alive() const {
    long parent = 0;
    char state = 0;
    // Once reaped the id may come back for another process, but not as ours.
    return ReadStat(id_, &parent, &state) && parent == getpid() && state != 'Z' && state != 'X';
}

long long ChildProcess::CpuMilliseconds() const {
    std::ifstream in("/proc/" + std::to_string(id_) + "/stat");
    std::string text;
    if (!std::getline(in, text)) return -1;
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) return -1;
    // After the name: state, then the fields up to utime and stime, the
    // 14th and 15th of the line.
    std::istringstream fields(text.substr(close + 2));
    std::string skipped;
    for (int i = 3; i < 14; ++i) fields >> skipped;
    long long user = 0, system = 0;
    if (!(fields >> user >> system)) return -1;
    const long ticks = sysconf(_SC_CLK_TCK);
    return ticks > 0 ? (user + system) * 1000 / ticks : -1;
}

void ChildProcess::Kill() {
    if (Alive()) kill(static_cast<pid_t>(id_), SIGKILL);
}

void ChildProcess::EndLeftovers() {
    if (!leader_) return;
    // No process id is given out while a group of that number has members:
    // the group's members are the engine's own.
    EachProcess([&](long id) {
        long parent = 0, group = 0;
        char state = 0;
        if (id != id_ && ReadStat(id, &parent, &state, &group) && group == id_ && state != 'Z' && state != 'X')
            kill(static_cast<pid_t>(id), SIGKILL);
    });
}

}  // namespace enghost
