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
using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class Search : public ::testing::Test {
protected:
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

    ModuleApi api;
    std::unique_ptr<InstalledEngine> engine_;
    std::size_t seen_ = 0;
};

}  // namespace cecp::test
