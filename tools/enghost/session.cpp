#include "session.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>

#include "engine/installation.h"
#include "host/host_record.h"
#include "interrupt.h"
#include "module.h"
#include "protocol/search_driver.h"
#include "settings_file.h"

namespace fs = std::filesystem;

namespace enghost {

namespace ib = cecp::info_block;

namespace {

std::atomic<int> g_scratchCounter{0};
std::atomic<bool> g_anyStuck{false};
// The engine a module starts is told from this program's other children by
// the children before and after Eng1: one open at a time across threads.
std::mutex g_openMutex;

// The engine's folder in the copy as one of its own: every entry of the
// installed folder reached from it (a link; on Windows, where links need
// rights a user may not have, a copy), but the settings file copied with the
// log switched on and no log, so that the copy's engine writes its own.
void FolderWithLog(const Installation& installation, const fs::path& folder, std::error_code& failure) {
    fs::create_directory(folder, failure);
    if (failure) return;
    for (fs::directory_iterator entry(installation.folder, failure), end; !failure && entry != end;
         entry.increment(failure)) {
        const fs::path& from = entry->path();
        const std::string name = from.filename().string();
        if (SameName(name, installation.settings.filename().string()) || SameName(name, cecp::kLogFileName)) continue;
#ifdef _WIN32
        fs::copy(from, folder / from.filename(), fs::copy_options::recursive, failure);
#else
        fs::create_symlink(fs::absolute(from), folder / from.filename(), failure);
#endif
    }
    if (failure) return;
    std::string text;
    if (std::ifstream in{installation.settings, std::ios::binary}) text.assign(std::istreambuf_iterator<char>(in), {});
    std::ofstream out(folder / installation.settings.filename(), std::ios::binary);
    out << WithSetting(text, "Parameter", "Logfile", "true");
    if (!out.flush()) failure = std::make_error_code(std::errc::io_error);
}

// A copy of the module in a folder of its own, with the engine's folder
// reached from beside it, so that the copy finds the same engine.
bool MakePrivateCopy(const Installation& installation, bool withLog, fs::path* scratch, fs::path* module,
                     std::string* error) {
    std::error_code failure;
    const fs::path root = fs::temp_directory_path(failure) /
                          ("enghost-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) +
                           "-" + std::to_string(g_scratchCounter++));
    const fs::path engines = root / "engines", folder = engines / installation.folder.filename();
    fs::create_directories(engines, failure);
    if (!failure) fs::copy_file(installation.module, engines / installation.module.filename(), failure);
    if (!failure && withLog) {
        FolderWithLog(installation, folder, failure);
    } else if (!failure) {
#ifdef _WIN32
        // Links need rights that a user may not have: the folder is copied.
        fs::copy(installation.folder, folder, fs::copy_options::recursive, failure);
#else
        fs::create_directory_symlink(fs::absolute(installation.folder), folder, failure);
#endif
    }
    if (failure) {
        *error = "cannot make a private copy of " + installation.module.string() + " in " + root.string() + ": " +
                 failure.message();
        fs::remove_all(root, failure);
        return false;
    }
    *scratch = root;
    *module = engines / installation.module.filename();
    return true;
}

}  // namespace

std::unique_ptr<EngineSession> EngineSession::Open(const Installation& installation, ModuleCopy copy,
                                                   std::string* error) {
    std::unique_ptr<EngineSession> session(new EngineSession);
    session->installation_ = installation;
    fs::path modulePath = installation.module;
    if (copy != ModuleCopy::kInstalled) {
        const bool withLog = copy == ModuleCopy::kPrivateWithLog;
        if (!MakePrivateCopy(installation, withLog, &session->scratch_, &modulePath, error)) return nullptr;
        if (withLog)
            session->log_ = modulePath.parent_path() / installation.folder.filename() / cecp::kLogFileName;
    }
    session->module_ = std::make_unique<cecp::host_side::LoadedModule>(modulePath);
    std::string missing;
    if (!session->module_->loaded()) {
        *error = session->module_->error();
        return nullptr;
    }
    if (!session->api_.Resolve(*session->module_, &missing)) {
        *error = modulePath.string() + " is not an engine module: it lacks " + missing;
        return nullptr;
    }
    session->settings_ = ReadSettings(installation);

    EngineSession* self = session.get();
    RouteNotifications(session->infoBlock_, [self](std::uint32_t code) { self->OnNotification(code); });
    std::unique_lock opening(g_openMutex);
    const std::set<long> before = ChildProcesses();
    const std::int32_t opened = session->api_.Eng1(session->infoBlock_, 0, 0, 0, 0, 0);
    if (opened != 0) {
        if (opened == 9)
            *error = "the engine " + installation.executable.string() + " could not be started";
        else
            *error = "the module refused to open its engine (answer " + std::to_string(opened) + ")" +
                     (session->settings_.protocol[0] == '\0'
                          ? std::string()
                          : "; its settings say Protocol=" + std::string(session->settings_.protocol) +
                                ": the module cannot use that dialect with this engine, or does not know it");
        return nullptr;
    }
    session->open_ = true;
    session->process_ = ChildProcess::Newcomer(before, ChildProcesses());
    opening.unlock();
    const char* name = session->api_.Eng7();
    const char* author = session->api_.Eng6();
    session->name_ = name && *name ? name : installation.name;
    session->author_ = author ? author : "";
    return session;
}

EngineSession::~EngineSession() {
    Close();
    if (stuck_) {
        // A thread of ours is still inside the module and may report: the
        // program ends soon, without unloading it (see AnyStuck).
        if (searcher_.joinable()) searcher_.detach();
        if (module_) module_->KeepLoaded();
        return;
    }
    ReleaseNotifications(infoBlock_);
    if (searcher_.joinable()) searcher_.join();
    module_.reset();
    if (!scratch_.empty()) {
        std::error_code ignored;
        fs::remove_all(scratch_, ignored);
    }
}

void EngineSession::OnNotification(std::uint32_t code) {
    Progress copy;
    std::function<void(std::uint32_t, const Progress&)> listener;
    {
        std::lock_guard lock(mutex_);
        switch (code) {
        case cecp::kNotifyNewSearch:
            ++progress_.searches;
            progress_.lines = 0;
            progress_.line.clear();
            progress_.score = 0;
            progress_.depth = 0;
            progress_.nodes = 0;
            done_.notify_all();  // Begin waits for the announcement
            break;
        case cecp::kNotifyMainline: {
            ++progress_.lines;
            progress_.score = cecp::LoadField<std::int16_t>(infoBlock_, ib::kScore);
            int length = cecp::LoadField<std::int16_t>(infoBlock_, ib::kMainLineLength);
            length = std::clamp(length, 0, static_cast<int>(ib::kMainLineCapacity));
            progress_.line.resize(static_cast<std::size_t>(length));
            for (int i = 0; i < length; ++i)
                progress_.line[static_cast<std::size_t>(i)] =
                    cecp::LoadField<cecp::MoveWord>(infoBlock_, ib::kMainLine + 2 * static_cast<std::size_t>(i));
            // The node field is written with every depth a line reports.
            progress_.nodes = cecp::LoadField<std::int64_t>(infoBlock_, ib::kNodes);
            break;
        }
        case cecp::kNotifyDepth: progress_.depth = cecp::LoadField<std::int16_t>(infoBlock_, ib::kDepth); break;
        case cecp::kNotifyNodes: progress_.nodes = cecp::LoadField<std::int64_t>(infoBlock_, ib::kNodes); break;
        default: break;
        }
        copy = progress_;
        listener = listener_;
    }
    if (listener) listener(code, copy);
}

void EngineSession::SetListener(std::function<void(std::uint32_t, const Progress&)> listener) {
    std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
}

void EngineSession::Begin(const SearchRecord& record) {
    if (searcher_.joinable()) searcher_.join();
    record_ = record;
    searching_ = true;
    std::unique_lock lock(mutex_);
    const int searches = progress_.searches;
    searcher_ = std::thread([this] {
        api_.Eng9(record_.bytes);
        std::lock_guard lock(mutex_);
        final_ = progress_;
        searching_ = false;
        done_.notify_all();
    });
    // Until the module has announced the search, a stop or ponder hit would
    // come before Eng9 and be lost.
    done_.wait_for(lock, std::chrono::seconds(2),
                   [&] { return progress_.searches != searches || !searching_.load(); });
}

bool EngineSession::WaitDone(int milliseconds) {
    std::unique_lock lock(mutex_);
    return done_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return !searching_.load(); });
}

void EngineSession::Stop() { api_.Eng3(); }
void EngineSession::PonderHit() { api_.Eng10(); }

Progress EngineSession::Live() const {
    std::lock_guard lock(mutex_);
    return progress_;
}

Progress EngineSession::Final() const {
    std::lock_guard lock(mutex_);
    return final_;
}

bool EngineSession::EngineAlive() const { return !process_ || process_->Alive(); }

std::int64_t EngineSession::AwaitIdle(int milliseconds) const {
    const auto start = std::chrono::steady_clock::now();
    if (!process_) return 0;
    long long last = process_->CpuMilliseconds();
    int quiet = 0;
    while (MillisecondsSince(start) < milliseconds && quiet < 2 && last >= 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const long long now = process_->CpuMilliseconds();
        quiet = now == last ? quiet + 1 : 0;
        last = now;
    }
    return MillisecondsSince(start);
}

bool EngineSession::Close(int milliseconds) {
    if (!open_) return !stuck_;
    open_ = false;
    auto closed = std::make_shared<std::atomic<bool>>(false);
    auto close = api_.Eng2;
    std::thread closer([close, closed] {
        close();
        closed->store(true);
    });
    const auto start = std::chrono::steady_clock::now();
    while (!closed->load() && MillisecondsSince(start) < milliseconds)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (closed->load()) {
        closer.join();
        // Closing ends any search that still waits for its move.
        if (!WaitDone(2000)) stuck_ = true;
    } else {
        closer.detach();
        stuck_ = true;
    }
    if (process_) {
        process_->Kill();
        process_->EndLeftovers();
    }
    return !stuck_;
}

void Dispose(std::unique_ptr<EngineSession>& session) {
    if (!session) return;
    session->Close();
    if (session->Stuck()) {
        g_anyStuck = true;
        (void)session.release();
    }
    session.reset();
}

bool AnyStuck() { return g_anyStuck.load(); }

namespace {
// The module waits its patience for a move it asked for before it gives up
// on the engine; a search that returns within a second of that after the
// request, without a move, is one the engine never answered.
constexpr std::int64_t kModuleGivesUpMs = cecp::kMoveNowPatienceMilliseconds - 1000;
}  // namespace

std::int64_t MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

SearchOutcome AwaitSearch(EngineSession& engine, std::chrono::steady_clock::time_point start, std::int64_t deadlineMs,
                          std::int64_t giveUpMs, const std::function<bool()>& quit) {
    SearchOutcome outcome;
    std::int64_t stoppedAt = -1;
    for (;;) {
        if (engine.WaitDone(20)) break;
        const std::int64_t elapsed = MillisecondsSince(start);
        if (!engine.EngineAlive()) {
            // The module notices the end of the engine's output by itself.
            if (engine.WaitDone(1500)) break;
            outcome.end = SearchEnd::kDied;
            outcome.elapsedMs = MillisecondsSince(start);
            return outcome;
        }
        const bool interrupted = Interrupted();
        if (interrupted || (quit && quit())) {
            engine.Stop();
            engine.WaitDone(static_cast<int>(giveUpMs));
            outcome.end = interrupted ? SearchEnd::kInterrupted : SearchEnd::kQuit;
            outcome.elapsedMs = MillisecondsSince(start);
            return outcome;
        }
        if (deadlineMs >= 0 && stoppedAt < 0 && elapsed >= deadlineMs) {
            engine.Stop();
            outcome.stoppedForTime = true;
            stoppedAt = elapsed;
        }
        if (stoppedAt >= 0 && elapsed - stoppedAt >= giveUpMs) {
            outcome.end = SearchEnd::kStuck;
            outcome.elapsedMs = elapsed;
            outcome.progress = engine.Live();
            return outcome;
        }
    }
    outcome.elapsedMs = MillisecondsSince(start);
    outcome.progress = engine.Final();
    if (outcome.progress.lines > 0 && !outcome.progress.line.empty()) {
        outcome.end = SearchEnd::kMove;
        outcome.move = outcome.progress.line.front();
    } else if (!engine.EngineAlive()) {
        outcome.end = SearchEnd::kDied;
    } else if (stoppedAt >= 0 && outcome.elapsedMs - stoppedAt >= kModuleGivesUpMs) {
        // The module ended the search itself once the engine had been asked
        // for its move long enough: no move came, rather than one it could
        // not read (which comes at once).
        outcome.end = SearchEnd::kStuck;
    } else {
        outcome.end = SearchEnd::kNoMove;
    }
    return outcome;
}

}  // namespace enghost
