// Protocol 2's feature lines on arbitrary lines (exact_lines.h): the reader
// keeps its names and values in their buffers and takes them from the line
// in order, agrees with a plain split on well-formed lines, and reads
// numbers as switches; the dialect (with no engine open, its answers taken in
// place of the engine's input) answers each feature, in order, accepting what
// it uses, and nothing else; it may stop answering a flood, but not within
// 100 features of one negotiation (each input is one); no report comes.
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

void TakeAnswer(const char* command, std::size_t length) { g_answers.append(command, length); }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view SkipBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    return text;
}

bool IsFeatureLine(std::string_view line) {
    line = SkipBlanks(line);
    return line.substr(0, 7) == "feature" && line.size() > 7 && IsBlank(line[7]);
}

bool IsOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    for (std::string_view one : names)
        if (name == one) return true;
    return false;
}

struct Word {
    std::string_view name, value;
};

// The features of a line of well-formed words after "feature", split the
// plain way; false for any other line.
bool SplitWellFormed(std::string_view line, std::vector<Word>* words) {
    words->clear();
    if (!IsFeatureLine(line)) return false;
    for (line = SkipBlanks(SkipBlanks(line).substr(7)); !line.empty(); line = SkipBlanks(line)) {
        const std::size_t equals = line.find('=');
        if (equals == 0 || equals == std::string_view::npos) return false;
        const std::string_view name = line.substr(0, equals);
        if (name.find_first_of(" \t\"") != std::string_view::npos) return false;
        line.remove_prefix(equals + 1);
        const bool quoted = !line.empty() && line.front() == '"';
        const std::size_t end = quoted ? line.find('"', 1) : line.find_first_of(" \t");
        if (quoted && end == std::string_view::npos) return false;
        const std::string_view value = quoted ? line.substr(1, end - 1) : line.substr(0, end);
        line.remove_prefix(quoted ? end + 1 : value.size());
        if (quoted ? !line.empty() && !IsBlank(line.front()) : value.find('"') != std::string_view::npos) return false;
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
    if (number.empty() ? cecp::FeatureOn(feature)
                       : digits == std::string_view::npos &&
                             cecp::FeatureOn(feature) != (number.find_first_not_of('0') != std::string_view::npos))
        std::abort();
}

// The names of the features the reader finds on the line.
void ReadFeatures(const char* line, std::vector<std::string>* names, const std::vector<Word>* wellFormed = nullptr) {
    // At its exact size, so that ASan sees a write past it; one for the run.
    static cecp::Feature* const feature = new cecp::Feature;
    const std::string_view text(line);
    cecp::FeatureReader reader(line);
    std::size_t at = 0;
    names->clear();
    while (reader.Next(feature)) {
        const std::size_t nameLength = strnlen(feature->name, cecp::kFeatureNameSize);
        const std::size_t valueLength = strnlen(feature->value, cecp::kFeatureValueSize);
        if (nameLength == 0 || nameLength == cecp::kFeatureNameSize || valueLength == cecp::kFeatureValueSize)
            std::abort();
        const std::string_view name(feature->name, nameLength), value(feature->value, valueLength);
        if (name.find_first_of(" \t=") != std::string_view::npos || (!feature->hasValue && !value.empty()))
            std::abort();
        // Taken from the line, one after another.
        if ((at = text.find(name, at)) == std::string_view::npos) std::abort();
        if ((at = text.find(value, at + name.size())) == std::string_view::npos) std::abort();
        at += value.size();
        if (wellFormed != nullptr) {
            const std::size_t index = names->size();
            if (index >= wellFormed->size() || !feature->hasValue ||
                name != (*wellFormed)[index].name.substr(0, cecp::kFeatureNameSize - 1) ||
                value != (*wellFormed)[index].value.substr(0, cecp::kFeatureValueSize - 1))
                std::abort();
        }
        CheckSwitch(*feature);
        names->emplace_back(name);
    }
    if (wellFormed != nullptr && names->size() != wellFormed->size()) std::abort();
}

void CheckLine(const char* line) {
    std::string_view text(line);
    if (cecp::IsFeatureLine(line) != IsFeatureLine(text)) std::abort();
    static std::vector<Word> words;
    static std::vector<std::string> names;
    const bool wellFormed = SplitWellFormed(text, &words);
    ReadFeatures(line, &names, wellFormed ? &words : nullptr);

    // The dialect's reading: an answer to each feature, nothing else. It
    // looks for features after the bells that some engines put first.
    while (!text.empty() && text.front() == '\a') text.remove_prefix(1);
    if (!IsFeatureLine(text)) names.clear();
    else if (text.data() != line) ReadFeatures(text.data(), &names);
    g_answers.clear();
    Protocol2().readLine(g_open, line);
    std::string_view answers(g_answers);
    for (const std::string& name : names) {
        if (answers.empty()) {
            // An engine that floods its features is answered no more.
            g_input.answering = false;
            break;
        }
        if (!g_input.answering) std::abort();
        ++g_input.answered;
        const std::size_t end = answers.find('\n');
        const std::string_view answer = answers.substr(0, end), verb = answer.substr(0, 9);
        if (end == std::string_view::npos || answer.size() < 9 || answer.substr(9) != name ||
            (verb != "accepted " && verb != "rejected "))
            std::abort();
        // What the dialect uses it accepts; what would oblige it to send
        // commands it does not have it rejects.
        if (verb == "rejected " && IsOneOf(name, {"ping", "setboard", "usermove", "san", "colors", "time", "analyze",
                                                  "myname", "done", "option"}))
            std::abort();
        if (verb == "accepted " && IsOneOf(name, {"memory", "smp", "egt"})) std::abort();
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
    // Features that any engine may announce in one negotiation and have answered.
    if (!g_input.answering && g_input.answered < 100) std::abort();
    return 0;
}
