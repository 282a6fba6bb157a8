#include "probe.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "child_watch.h"
#include "interrupt.h"
#include "platform/error_report.h"
#include "platform/pipe.h"
#include "platform/process.h"

namespace platform = cecp::platform;
using Clock = std::chrono::steady_clock;

namespace enghost {

namespace {

std::int64_t Since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// One program on pipes, its output gathered into lines by a reader thread.
class Conversation {
public:
    Conversation() = default;
    ~Conversation() { End(0); }
    Conversation(const Conversation&) = delete;
    Conversation& operator=(const Conversation&) = delete;

    bool Start(const ProbeTarget& target, std::string* error) {
        platform::PipeEnds ends;
        if (!platform::CreateOutputPipe(&ends)) return Failed("no pipe for the engine's output", error);
        output_ = std::make_unique<platform::PipeOwner>(ends.read);
        platform::PipeOwner childOutput(ends.write);
        // Kept to wake the reader should something the engine started hold the pipe.
        wake_ = std::make_unique<platform::PipeOwner>(platform::DuplicatePipeEnd(childOutput.get()));
        if (!platform::CreateInputPipe(&ends)) return Failed("no pipe for the engine's input", error);
        platform::PipeOwner childInput(ends.read);
        input_ = std::make_unique<platform::PipeOwner>(ends.write);

        const std::string executable = target.executable.string();
        const std::string folder = target.workingDirectory.string();
        platform::ProcessStart start;
        start.executable = executable.c_str();
        start.arguments = target.arguments.c_str();
        start.workingDirectory = folder.c_str();
        start.standardInput = childInput.get();
        start.standardOutput = childOutput.get();
        int code = 0;
        const std::set<long> before = ChildProcesses();
        process_ = platform::StartProcess(start, &code);
        child_ = ChildProcess::Newcomer(before, ChildProcesses());
        if (process_ == platform::kNoProcess) {
            char text[512] = {};
            platform::ErrorText(code, text, sizeof text - 1);
            *error = "cannot start " + executable + ": " + text;
            return false;
        }
        started_ = Clock::now();
        reader_ = std::thread([this] { ReadLoop(); });
        return true;
    }

    void Send(const std::string& text) {
        if (process_ == platform::kNoProcess || saidGoodbye_) return;
        platform::WritePipeWithin(input_->get(), text.data(), text.size(), 500);
    }

    std::vector<std::string> Take() {
        std::lock_guard lock(mutex_);
        std::vector<std::string> taken;
        taken.swap(lines_);
        return taken;
    }

    bool Ended() const { return ended_.load(); }
    bool Spoke() const { return spoke_.load(); }
    // Milliseconds from the start to the first line; -1 before it.
    std::int64_t FirstWordsMs() const { return firstWordsMs_.load(); }
    std::int64_t Age() const { return Since(started_); }
    bool Running() const { return process_ != platform::kNoProcess && !saidGoodbye_; }

    // "quit": the program has quitMs to follow it before End ends it.
    void Goodbye() {
        if (process_ == platform::kNoProcess || saidGoodbye_) return;
        Send("quit\n");
        saidGoodbye_ = true;
        goodbyeAt_ = Clock::now();
    }

    void End(int quitMs) {
        if (process_ == platform::kNoProcess) return;
        Goodbye();
        const std::int64_t left = quitMs - Since(goodbyeAt_);
        if (!platform::WaitProcess(process_, left > 0 ? static_cast<int>(left) : 0)) {
            platform::EndProcess(process_);
            platform::WaitProcess(process_, 2000);
        }
        input_.reset();
        // The reader ends with the program's output; writes of our own wake
        // it should another process still hold the pipe.
        const auto waking = Clock::now();
        while (!readerDone_.load() && Since(waking) < 3000) {
            if (wake_ && wake_->get() != platform::kNoPipe) platform::WritePipe(wake_->get(), "\n", 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (readerDone_.load())
            reader_.join();
        else
            reader_.detach();  // never seen; the process is gone and the program ends soon
        platform::CloseProcess(process_);
        process_ = platform::kNoProcess;
        if (child_) child_->EndLeftovers();
        if (readerDone_.load()) {
            output_.reset();
            wake_.reset();
        } else {
            (void)output_.release();  // the detached reader may still read from it
            (void)wake_.release();
        }
    }

private:
    bool Failed(const char* what, std::string* error) {
        *error = std::string(what) + " (" + std::to_string(platform::LastErrorCode()) + ")";
        return false;
    }

    void ReadLoop() {
        char buffer[4096];
        std::string partial;
        for (;;) {
            const long got = platform::ReadPipe(output_->get(), buffer, sizeof buffer, process_);
            if (got <= 0) break;
            std::lock_guard lock(mutex_);
            for (long i = 0; i < got; ++i) {
                const char c = buffer[i];
                if (c == '\n' || partial.size() >= 8192) {
                    if (!partial.empty() && partial.back() == '\r') partial.pop_back();
                    if (partial.find_first_not_of(" \t") != std::string::npos && !spoke_.exchange(true))
                        firstWordsMs_ = Age();
                    // Enough for any answer of interest; a program that floods is not kept.
                    if (kept_ < 5000) {
                        lines_.push_back(partial);
                        ++kept_;
                    }
                    partial.clear();
                    if (c == '\n') continue;
                }
                partial += c;
            }
        }
        ended_ = true;
        readerDone_ = true;
    }

    platform::Handle process_ = platform::kNoProcess;
    std::unique_ptr<ChildProcess> child_;  // the same process, to end what it leaves behind
    std::unique_ptr<platform::PipeOwner> input_, output_, wake_;
    std::thread reader_;
    std::mutex mutex_;
    std::vector<std::string> lines_;
    std::size_t kept_ = 0;
    std::atomic<bool> ended_{false}, spoke_{false}, readerDone_{false};
    std::atomic<std::int64_t> firstWordsMs_{-1};
    Clock::time_point started_ = Clock::now(), goodbyeAt_ = Clock::now();
    bool saidGoodbye_ = false;
};

// The set-up position of kProbeSetUpFen in edit mode, with the castling and
// en-passant commands as the module sends them with CastleAndEP.
constexpr const char* kClassicSetUp =
    "xboard\nnew\nforce\nedit\n#\nRa1\nKe1\nRh1\nPe5\nc\nRa8\nKe8\nRh8\nPd5\nc\n"
    "castle +w00\ncastle +w000\ncastle +b00\ncastle +b000\nep d6\n.\n";

}  // namespace

bool ProbeEngine(const ProbeTarget& target, const ProbePlan& plan, const ProbeBounds& bounds, Findings* out,
                 std::string* error) {
    Findings& found = *out;
    found = Findings{};
    Conversation uci, features, classic;
    // Started one after another from this thread, so that no program
    // inherits another's pipe ends, and each is told from the others.
    if (plan.uci) {
        if (!uci.Start(target, error)) return false;
        found.uciAsked = true;
        uci.Send("uci\n");
    }
    if (plan.features) {
        if (!features.Start(target, error)) return false;
        found.featuresAsked = true;
        features.Send("xboard\nprotover 2\n");
    }
    using Stage = ClassicAnswer::Stage;
    Stage stage = Stage::kSetUp;
    auto stageStart = Clock::now();
    if (plan.classic) {
        if (!classic.Start(target, error)) return false;
        found.classicAsked = true;
        classic.Send(kClassicSetUp);
        stageStart = Clock::now();
    }

    std::int64_t featuresDoneAt = -1;  // on the uci conversation's clock
    for (;;) {
        if (uci.Running()) {
            for (const std::string& line : uci.Take()) found.uci.Read(line);
            // Both programs started together: an engine that speaks both
            // answers uci about when it has answered protover.
            if (found.features.done && featuresDoneAt < 0) featuresDoneAt = uci.Age();
            const std::int64_t age = uci.Age();
            if (found.uci.ok || found.uci.rejected || uci.Ended() || age >= bounds.uciMs ||
                (featuresDoneAt >= 0 && age >= featuresDoneAt + bounds.uciAfterFeaturesMs)) {
                found.uciEnded = uci.Ended() && !found.uci.ok;
                uci.Goodbye();
            }
        }
        if (features.Running()) {
            for (const std::string& line : features.Take()) found.features.Read(line);
            const std::int64_t age = features.Age();
            const int bound = found.features.waitLonger ? bounds.featuresLongerMs : bounds.featuresMs;
            if (found.features.done || found.features.rejected || features.Ended() || age >= bound) {
                found.featuresEnded = features.Ended() && !found.features.done;
                features.Goodbye();
            }
        }
        if (classic.Running()) {
            const ClassicAnswer& answer = found.classic;
            for (const std::string& line : classic.Take()) found.classic.Read(line, stage);
            const std::int64_t age = Since(stageStart);
            bool over = classic.Ended();
            if (plan.classicUnlessAnswered && (found.uci.ok || found.features.anyFeature)) {
                over = true;
                found.classicAbandoned = true;
            } else if (stage == Stage::kSetUp && age >= bounds.setUpMs) {
                classic.Send("post\nanalyze\n");
                stage = Stage::kAnalysing;
                stageStart = Clock::now();
            } else if (stage == Stage::kAnalysing) {
                // Counted from the engine's first words too, for one slow to
                // start; one that has said nothing at all is waited for longer.
                const std::int64_t firstWords = classic.FirstWordsMs();
                const bool waited = firstWords < 0 ? classic.Age() >= bounds.silentMs
                                                   : age >= bounds.analyseMs &&
                                                         classic.Age() >= firstWords + bounds.analyseMs;
                // A thinking line has come: a moment more for the main line
                // to show whether the set-up position was taken.
                if ((answer.thinking && answer.legalLine) || answer.analyzeRejected || waited) {
                    classic.Send("exit\nnew\nst 1\ngo\n");
                    stage = Stage::kPlaying;
                    stageStart = Clock::now();
                }
            } else if (stage == Stage::kPlaying && (answer.moved || age >= bounds.moveMs)) {
                over = true;
            }
            if (over) {
                found.classicEnded = classic.Ended() && !answer.moved;
                classic.Goodbye();
            }
        }
        if (Interrupted()) {
            uci.Goodbye();
            features.Goodbye();
            classic.Goodbye();
        }
        if (!uci.Running() && !features.Running() && !classic.Running()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    found.uciSpoke = uci.Spoke();
    found.featuresSpoke = features.Spoke();
    found.classicSpoke = classic.Spoke();
    uci.End(bounds.quitMs);
    features.End(bounds.quitMs);
    classic.End(bounds.quitMs);
    // Lines that came with the goodbye still count.
    for (const std::string& line : uci.Take()) found.uci.Read(line);
    for (const std::string& line : features.Take()) found.features.Read(line);
    return true;
}

}  // namespace enghost
