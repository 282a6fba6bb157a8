// The feature lines of protocol version 2 on arbitrary lines: IsFeatureLine,
// FeatureReader and FeatureOn, then the dialect's own reading of the line
// (DialectNamed("2")->readLine, with no engine open), whose answers to the
// engine are taken in place of its input (SetCommandWriter).
//
// What must hold for any line (each a C string at its exact size: the
// reader never reads past it):
// - IsFeatureLine is true exactly for "feature" and a blank after blanks;
// - every feature read has a name of 1 to 63 characters without blanks or
//   '=', a value of at most 511, each ended in its buffer, both taken from
//   the line, and a value only after an '=';
// - for a line made of well-formed words after "feature" (NAME=VALUE with no
//   blank or quote in the value, NAME="VALUE" with no quote in it, blanks
//   between them), the reader finds every feature, in order, its name and
//   value those of a plain split of the words, each cut to its buffer;
// - FeatureOn is true for a value that is a number (an optional sign and
//   digits) other than 0, false for one that does not start like a number;
// - the dialect answers each feature of a feature line (after the bells some
//   engines put first), in order, with "accepted NAME" or "rejected NAME",
//   and answers nothing else; an engine that floods its features may go
//   unanswered from some point on, but never before 100 features of one
//   negotiation (each input is one); no report reaches the host.
//
// Input: lines (up to each line feed; a NUL ends a line, as the module's
// texts end there); one input in 512 is repeated into one line of 100 KB
// (exact_lines.h).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine_process.h"
#include "engine/transport.h"
#include "exact_lines.h"
#include "host/info_block.h"
#include "protocol/cecp/features.h"
#include "protocol/dialect.h"

// No engine is open and no block held: no report may come.
extern "C" std::int32_t CECP_CALL Func3(std::uint32_t, std::uint32_t, std::uint32_t, void*) { std::abort(); }

namespace {

std::string g_answers;
// The dialect's state for the input under way: each input is an engine of its own.
cecp::DialectState* g_open = nullptr;

const cecp::Dialect& Protocol2() {
    static const cecp::Dialect* const dialect = cecp::DialectNamed("2");
    return *dialect;
}

// The answers of one input, which the dialect reads as one negotiation.
struct Input {
    bool answering = true;
    std::size_t answered = 0;
};
Input g_input;

// Features that any engine may announce in one negotiation and have answered.
constexpr std::size_t kFewFeatures = 100;

void TakeAnswer(const char* command, std::size_t length) { g_answers.append(command, length); }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view SkipBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    return text;
}

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

bool IsOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    for (std::string_view one : names)
        if (name == one) return true;
    return false;
}

// The names of a line's features, in one buffer kept for the run.
class Names {
public:
    void Clear() {
        text_.clear();
        ends_.clear();
    }
    void Add(std::string_view name) {
        text_ += name;
        ends_.push_back(text_.size());
    }
    std::size_t Count() const { return ends_.size(); }
    std::string_view operator[](std::size_t i) const {
        const std::size_t start = i == 0 ? 0 : ends_[i - 1];
        return std::string_view(text_).substr(start, ends_[i] - start);
    }

private:
    std::string text_;
    std::vector<std::size_t> ends_;
};

struct Word {
    std::string_view name;
    std::string_view value;
};

// The features of a line of well-formed words after "feature", split the
// plain way; false for any other line.
bool SplitWellFormed(std::string_view line, std::vector<Word>* words) {
    words->clear();
    line = SkipBlanks(line);
    if (!StartsWith(line, "feature") || line.size() == 7 || !IsBlank(line[7])) return false;
    line.remove_prefix(7);
    for (line = SkipBlanks(line); !line.empty(); line = SkipBlanks(line)) {
        const std::size_t equals = line.find('=');
        if (equals == 0 || equals == std::string_view::npos) return false;
        const std::string_view name = line.substr(0, equals);
        if (name.find_first_of(" \t\"") != std::string_view::npos) return false;
        line.remove_prefix(equals + 1);
        std::string_view value;
        if (!line.empty() && line.front() == '"') {
            const std::size_t close = line.find('"', 1);
            if (close == std::string_view::npos) return false;
            value = line.substr(1, close - 1);
            line.remove_prefix(close + 1);
            if (!line.empty() && !IsBlank(line.front())) return false;
        } else {
            const std::size_t end = line.find_first_of(" \t");
            value = line.substr(0, end);
            if (value.find('"') != std::string_view::npos) return false;
            line.remove_prefix(value.size());
        }
        words->push_back({name, value});
    }
    return true;
}

// An optional sign and digits make a number, whatever follows.
void CheckSwitch(const cecp::Feature& feature) {
    std::string_view value(feature.value);
    if (!value.empty() && (value.front() == '+' || value.front() == '-')) value.remove_prefix(1);
    const std::size_t digits = value.find_first_not_of("0123456789");
    const std::string_view number = value.substr(0, digits);
    if (number.empty()) {
        if (cecp::FeatureOn(feature)) std::abort();
    } else if (digits == std::string_view::npos) {
        if (cecp::FeatureOn(feature) != (number.find_first_not_of('0') != std::string_view::npos)) std::abort();
    }
}

void CheckLine(const char* line) {
    const std::string_view text(line);
    const std::string_view unblanked = SkipBlanks(text);
    const bool featureLine = StartsWith(unblanked, "feature") && unblanked.size() > 7 && IsBlank(unblanked[7]);
    if (cecp::IsFeatureLine(line) != featureLine) std::abort();

    static std::vector<Word> words;
    const bool wellFormed = SplitWellFormed(text, &words);
    static Names names;
    names.Clear();
    // At its exact size, so that ASan sees a write past it; one for the run.
    static cecp::Feature* const feature = new cecp::Feature;
    cecp::FeatureReader reader(line);
    std::size_t at = 0;
    while (reader.Next(feature)) {
        const std::size_t nameLength = strnlen(feature->name, cecp::kFeatureNameSize);
        const std::size_t valueLength = strnlen(feature->value, cecp::kFeatureValueSize);
        if (nameLength == 0 || nameLength == cecp::kFeatureNameSize || valueLength == cecp::kFeatureValueSize) {
            std::abort();
        }
        const std::string_view name(feature->name, nameLength), value(feature->value, valueLength);
        if (name.find_first_of(" \t=") != std::string_view::npos) std::abort();
        if (!feature->hasValue && !value.empty()) std::abort();
        // Taken from the line, one after another.
        if ((at = text.find(name, at)) == std::string_view::npos) std::abort();
        if ((at = text.find(value, at + name.size())) == std::string_view::npos) std::abort();
        at += value.size();
        if (wellFormed) {
            const std::size_t index = names.Count();
            if (index >= words.size() || name != words[index].name.substr(0, cecp::kFeatureNameSize - 1) ||
                value != words[index].value.substr(0, cecp::kFeatureValueSize - 1) || !feature->hasValue) {
                std::abort();
            }
        }
        CheckSwitch(*feature);
        names.Add(name);
    }
    if (wellFormed && names.Count() != words.size()) std::abort();

    // The dialect's reading: an answer to each feature, nothing else. It
    // looks for features after the bells that some engines put first.
    std::string_view bellless = text;
    while (!bellless.empty() && bellless.front() == '\a') bellless.remove_prefix(1);
    if (bellless.size() != text.size()) {
        names.Clear();
        if (cecp::IsFeatureLine(bellless.data())) {
            cecp::FeatureReader rereader(bellless.data());
            while (rereader.Next(feature)) names.Add(feature->name);
        }
    } else if (!featureLine) {
        names.Clear();
    }
    g_answers.clear();
    Protocol2().readLine(g_open, line);
    std::string_view answers(g_answers);
    for (std::size_t i = 0; i < names.Count(); ++i) {
        const std::string_view name = names[i];
        if (answers.empty()) {
            // An engine that floods its features is answered no more.
            g_input.answering = false;
            break;
        }
        if (!g_input.answering) std::abort();
        ++g_input.answered;
        const std::size_t end = answers.find('\n');
        const std::string_view answer = answers.substr(0, end);
        if (end == std::string_view::npos || answer.size() != 9 + name.size() || answer.substr(9) != name) {
            std::abort();
        }
        const std::string_view verb = answer.substr(0, 9);
        if (verb != "accepted " && verb != "rejected ") std::abort();
        // What the dialect uses it accepts; what would oblige it to send
        // commands it does not have it rejects.
        const bool accepted = verb == "accepted ";
        if (!accepted && IsOneOf(name, {"ping", "setboard", "usermove", "san", "colors", "time", "analyze",
                                        "myname", "done", "option"})) {
            std::abort();
        }
        if (accepted && IsOneOf(name, {"memory", "smp", "egt"})) std::abort();
        answers.remove_prefix(end + 1);
    }
    if (!answers.empty()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    cecp::SetCommandWriter(TakeAnswer);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A negotiation of its own: the greeting, with the engine already gone,
    // starts one and ends it at once.
    char problem[256];
    if (g_open != nullptr) Protocol2().close(g_open);
    g_open = Protocol2().open();
    cecp::g_engine.exited = 1;
    if (Protocol2().greet(g_open, problem, sizeof problem)) std::abort();
    cecp::g_engine.exited = 0;
    g_input = Input{};

    const std::string_view text(reinterpret_cast<const char*>(data), size);
    cecp::fuzz::ForEachLine(cecp::fuzz::MaybeLong(data, size, text), CheckLine);
    if (!g_input.answering && g_input.answered < kFewFeatures) std::abort();
    return 0;
}
