// Whole search requests through the real module, the real engine process and
// the real pipes, with the scripted test engine: the fixture that opens it,
// runs searches as the host does and reads what crossed the pipe.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host_side.h"
#include "installed_engine.h"
#include "search_request_builder.h"

namespace cecp::test {


namespace ib = info_block;
using Lines = std::vector<std::string>;

// How each dialect's engine is scripted: its settings, the answers to the
// greeting and to its sync command, its thinking and its move. Scripts built
// from it serve tests that hold for every dialect.
struct Dialect {
    const char* name;
    const char* settings;
    const char* preamble;  // script settings before every rule
    const char* greeting;  // the rule answering the greeting
    const char* sync;      // the rule answering the sync command (ping, isready)
    const char* thinking;  // a thinking line up to its main line, $d the depth
    const char* moveNow;   // the command that asks for the move now
};

inline const Dialect kClassic{"Classic", "", "", "", "", "$d 1$d $d0 $d000 ", "?"};
inline const Dialect kTwo{"ProtocolTwo",
                          "Protocol=2\n",
                          "",
                          "on protover\n  send feature ping=1 usermove=1 done=1\n",
                          "on ping\n  send pong $1\n",
                          "$d 1$d $d0 $d000 ",
                          "?"};
inline const Dialect kUci{"Uci",
                          "Protocol=uci\n",
                          "moveformat bestmove $m\nhurry stop\n",
                          "on uci\n  send uciok\n",
                          "now isready\n  send readyok\n",
                          "info depth $d score cp 1$d time $d000 pv ",
                          "stop"};

// The script: the dialect's settings, more settings, the rules given (which
// win over the greeting's, being tried first), then the greeting's and,
// unless withSync is false, the answer to the sync command.
inline std::string Script(const Dialect& d, const std::string& rules, const std::string& settings = "",
                          bool withSync = true) {
    return std::string(d.preamble) + settings + rules + d.greeting + (withSync ? d.sync : "");
}

// The action that prints count thinking lines of the main line given, one
// every milliseconds.
inline std::string Thinking(const Dialect& d, int count, int milliseconds, const std::string& line) {
    return "  think " + std::to_string(count) + " " + std::to_string(milliseconds) + " " + d.thinking + line + "\n";
}

// A move in the dialect's words, for a "send" that plays it unasked.
inline std::string MoveLine(const Dialect& d, const char* move) {
    return std::string(&d == &kUci ? "bestmove " : "move ") + move;
}

inline std::string DialectName(const ::testing::TestParamInfo<const Dialect*>& info) { return info.param->name; }
inline void PrintTo(const Dialect* d, std::ostream* out) { *out << d->name; }

// A timed search request after the moves given (1. e4 by default).
inline SearchRequestBuilder TimedAfter(std::vector<const char*> moves = {"e2e4"}) {
    SearchRequestBuilder request;
    request.Increment(600, 0).Moves(moves);
    return request;
}

class Search : public ::testing::Test {
protected:
    // Opens the engine in the dialect, with more settings after its own; the
    // greeting is read off.
    void OpenIn(const Dialect& d, const std::string& script, const std::string& settings = "") {
        ASSERT_NO_FATAL_FAILURE(OpenWith(script, d.settings + settings));
        NewCommands(2);
    }
    // Installs the test engine with script and the "Support" switches given,
    // and opens it in the classic conversation. Call it through
    // ASSERT_NO_FATAL_FAILURE: a test whose engine did not open stops there.
    void Open(const std::string& script, const std::string& support = "") {
        ASSERT_NO_FATAL_FAILURE(OpenWith(script, support.empty() ? "" : "[Support]\n" + support));
        WaitForTranscript(2);
        seen_ = 2;  // "kelto" and "xboard"
    }
    // Installs the test engine with script, its settings file continuing
    // with settings after the section Parameter's CommandLine, and opens it.
    void OpenWith(const std::string& script, const std::string& settings) {
        engine_ = std::make_unique<InstalledEngine>("scripted");
        seen_ = 0;
        ASSERT_TRUE(engine_->ready);
        api = engine_->api;
        engine_->InstallExecutable();
        engine_->Configure(script, settings);
        HostClearNotifications();
        ASSERT_EQ(engine_->Open(), 0);
    }
    void TearDown() override {
        if (engine_ && engine_->ready) api.Eng2();
    }

    Lines Transcript() const {
        Lines lines;
        std::istringstream in(engine_->Transcript());
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    // Waits (a few seconds at most) until the engine has received count lines.
    void WaitForTranscript(std::size_t count) const {
        for (int i = 0; i < 300 && Transcript().size() < count; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    // Waits (a few seconds at most) until the engine has received a command
    // beginning with prefix since the last NewCommands.
    void WaitForCommand(const std::string& prefix) const {
        for (int i = 0; i < 300; ++i) {
            Lines all = Transcript();
            for (std::size_t j = seen_; j < all.size(); ++j) {
                if (all[j].rfind(prefix, 0) == 0) return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    // The commands received since the last call, once they have all arrived.
    Lines NewCommands(std::size_t atLeast = 0) {
        WaitForTranscript(seen_ + atLeast);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        Lines all = Transcript();
        Lines fresh(all.begin() + static_cast<long>(std::min(seen_, all.size())), all.end());
        seen_ = all.size();
        return fresh;
    }
    std::vector<std::uint32_t> Codes() const {
        std::vector<std::uint32_t> codes;
        for (int i = 0; i < HostNotificationCount(); ++i) {
            if (HostNotificationAt(i).infoBlock == engine_->infoBlock) codes.push_back(HostNotificationAt(i).code);
        }
        return codes;
    }
    // How many main lines the host has been shown since its notifications
    // were last cleared.
    int MainLinesShown() const {
        std::vector<std::uint32_t> codes = Codes();
        return static_cast<int>(std::count(codes.begin(), codes.end(), kNotifyMainline));
    }
    template <typename T>
    T Field(std::size_t offset) const {
        return LoadField<T>(engine_->infoBlock, offset);
    }
    MoveWord FirstMove() const { return Field<MoveWord>(ib::kMainLine); }
    // The main line the host reads at the end of a search.
    std::vector<MoveWord> MainLine() const {
        std::vector<MoveWord> line;
        for (int i = 0; i < Field<std::int16_t>(ib::kMainLineLength); ++i)
            line.push_back(Field<MoveWord>(ib::kMainLine + 2 * static_cast<std::size_t>(i)));
        return line;
    }
    // Runs the search on the host's thread, to its end: the seconds it took.
    double Run(const SearchRequestBuilder& request) {
        const auto start = Clock::now();
        api.Eng9(const_cast<unsigned char*>(request.bytes));
        return SecondsSince(start);
    }
    // Runs Eng9 on its own thread, calling meanwhile() over and over until it
    // returns; a search still running after 3 s is stopped, so that a test
    // whose search never ends fails instead of hanging.
    template <typename Meanwhile>
    void SearchWhile(const SearchRequestBuilder& request, Meanwhile meanwhile) {
        std::atomic<bool> searching{true};
        std::thread search([&] {
            api.Eng9(const_cast<unsigned char*>(request.bytes));
            searching = false;
        });
        const auto start = Clock::now();
        while (searching && SecondsSince(start) < 3.0) meanwhile();
        if (searching) api.Eng3();
        search.join();
    }
    // Runs Eng9 on its own thread, as a host does, and returns its thread.
    std::thread SearchInBackground(const SearchRequestBuilder& request) {
        return std::thread([this, &request] { api.Eng9(const_cast<unsigned char*>(request.bytes)); });
    }
    // Ends the search on that thread as a host does (Eng3) and waits for it:
    // the seconds the search took to end.
    double StopAndJoin(std::thread& search) {
        const auto stop = Clock::now();
        api.Eng3();
        search.join();
        return SecondsSince(stop);
    }

    ModuleApi api;
    std::unique_ptr<InstalledEngine> engine_;
    std::size_t seen_ = 0;
};

// The fixture for a table of cases (a dialect, say).
template <typename T>
class SearchWith : public Search, public ::testing::WithParamInterface<T> {};

}  // namespace cecp::test
