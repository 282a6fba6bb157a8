// The engine processes that a module starts are children of this program:
// watching them tells a dead engine from a slow one, and ends one that
// outlives its module's close.
#pragma once

#include <memory>
#include <set>

namespace enghost {

// The process ids of this program's running children, right now.
std::set<long> ChildProcesses();

class ChildProcess {
public:
    // The child among after that was not among before; none when there is
    // not exactly one.
    static std::unique_ptr<ChildProcess> Newcomer(const std::set<long>& before, const std::set<long>& after);
    explicit ChildProcess(long id);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    long id() const { return id_; }
    bool Alive() const;
    // The processor time it has used so far, user and system; -1 when that
    // cannot be known (it has gone).
    long long CpuMilliseconds() const;
    // Ends it by force when it still runs.
    void Kill();
    // Ends by force what it started and left running (polyglot's engine,
    // when polyglot ended without it): on POSIX the processes of its process
    // group, which the module makes its own.
    void EndLeftovers();

private:
    long id_;
#ifndef _WIN32
    bool leader_ = false;  // it leads its own process group
#endif
#ifdef _WIN32
    void* handle_ = nullptr;  // the process handle, held from the start
#endif
};

inline std::unique_ptr<ChildProcess> ChildProcess::Newcomer(const std::set<long>& before,
                                                           const std::set<long>& after) {
    long found = 0;
    int count = 0;
    for (long id : after)
        if (!before.count(id)) found = id, ++count;
    return count == 1 ? std::make_unique<ChildProcess>(found) : nullptr;
}

}  // namespace enghost
