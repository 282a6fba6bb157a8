// One engine behind its own loaded module: open, search on a thread of its
// own, stop, ponder hit, close; the progress the module reports.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "child_watch.h"
#include "chess/move_word.h"
#include "engine/engine_config.h"
#include "installation.h"
#include "module_api.h"
#include "search_record.h"

namespace enghost {

// What the module has reported in the current search.
struct Progress {
    int searches = 0;  // new-search notifications so far
    int lines = 0;     // main lines since the last new search
    std::vector<cecp::MoveWord> line;
    int score = 0;
    int depth = 0;
    std::int64_t nodes = 0;
};

// Which module an engine is opened behind: the installed one, or a private
// copy of it (two engines of one file never share a loaded module; a module
// stuck in an engine's search cannot be loaded again), perhaps one whose
// engine logs the conversation in the copy (check reads what the engine says
// there, leaving the installation's own log and settings as they are).
enum class ModuleCopy { kInstalled, kPrivate, kPrivateWithLog };

class EngineSession {
public:
    // Loads the module (or a copy of it in a scratch folder) and opens its
    // engine. Nothing and a message when that fails.
    static std::unique_ptr<EngineSession> Open(const Installation& installation, ModuleCopy copy,
                                               std::string* error);
    ~EngineSession();
    EngineSession(const EngineSession&) = delete;
    EngineSession& operator=(const EngineSession&) = delete;

    const std::string& name() const { return name_; }
    const std::string& author() const { return author_; }
    const cecp::EngineConfig& settings() const { return settings_; }
    const Installation& installation() const { return installation_; }
    // The conversation's log of a kPrivateWithLog copy; empty otherwise.
    const std::filesystem::path& log() const { return log_; }

    // Starts Eng9 with a copy of record on the session's search thread, and
    // returns once the module has begun it.
    void Begin(const SearchRecord& record);
    bool Searching() const { return searching_.load(); }
    // Waits up to milliseconds for the search to return; true when it has.
    bool WaitDone(int milliseconds);
    void Stop();       // Eng3
    void PonderHit();  // Eng10
    Progress Live() const;
    // The progress as it stood when the last search returned.
    Progress Final() const;
    bool EngineAlive() const;
    // Waits, at most milliseconds, until the engine has stopped working on
    // its own (a hash to clear, a network to load): its processor time is
    // the same over two looks 100 ms apart. Returns the time waited.
    std::int64_t AwaitIdle(int milliseconds) const;

    // Called on the module's threads after each notification.
    void SetListener(std::function<void(std::uint32_t code, const Progress&)> listener);

    // Eng2, waited for at most milliseconds; an engine that outlives it is
    // ended. False when the module could not be closed (a thread is stuck).
    bool Close(int milliseconds = 8000);
    // A search or close never came back: the module must stay loaded.
    bool Stuck() const { return stuck_; }

private:
    EngineSession() = default;
    void OnNotification(std::uint32_t code);

    Installation installation_;
    std::filesystem::path scratch_;  // the private copy's folder, removed at the end
    std::filesystem::path log_;
    std::unique_ptr<cecp::host_side::LoadedModule> module_;
    cecp::host_side::ModuleApi api_;
    std::unique_ptr<ChildProcess> process_;
    std::string name_, author_;
    cecp::EngineConfig settings_;
    alignas(8) unsigned char infoBlock_[256] = {};
    SearchRecord record_;

    mutable std::mutex mutex_;
    std::condition_variable done_;
    Progress progress_, final_;
    std::function<void(std::uint32_t, const Progress&)> listener_;
    std::thread searcher_;
    std::atomic<bool> searching_{false};
    bool open_ = false;
    bool stuck_ = false;
};

// Closes the session; one that is stuck inside its module is left alive
// (never freed, never unloaded) and AnyStuck tells the program to end
// without the clean-up that would unload it.
void Dispose(std::unique_ptr<EngineSession>& session);
bool AnyStuck();

// Waits for a running search under a clock. deadline: milliseconds after
// start at which Eng3 asks for the move (negative: none); giveUp: how long
// after that a search that has not returned is abandoned. Once the program
// is interrupted (interrupt.h), or quit() (asked now and then, when given)
// says a person has left the game, the search is stopped and waited for.
enum class SearchEnd { kMove, kNoMove, kDied, kStuck, kInterrupted, kQuit };
struct SearchOutcome {
    SearchEnd end = SearchEnd::kNoMove;
    cecp::MoveWord move = 0;
    Progress progress;
    std::int64_t elapsedMs = 0;
    bool stoppedForTime = false;
};
SearchOutcome AwaitSearch(EngineSession& engine, std::chrono::steady_clock::time_point start, std::int64_t deadlineMs,
                          std::int64_t giveUpMs, const std::function<bool()>& quit = {});

std::int64_t MillisecondsSince(std::chrono::steady_clock::time_point start);

}  // namespace enghost
