#include "settings_file.h"

#include <algorithm>
#include <cctype>

namespace enghost {

namespace {

const char* Switch(bool on) { return on ? "true" : "false"; }

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool HasControl(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](unsigned char c) { return c < 0x20 && c != '\t'; });
}

}  // namespace

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

std::string SettingsText(const SettingsFile& s) {
    std::string text;
    text += "[Support]\n";
    text += std::string("AnalyzeMode=") + Switch(s.analyze) + "\n";
    text += std::string("PonderMode=") + Switch(s.ponder) + "\n";
    text += std::string("CastleAndEP=") + Switch(s.castleAndEP) + "\n";
    text += std::string("EvaluationWhite=") + Switch(s.evaluationWhite) + "\n";
    text += "[Parameter]\n";
    text += "Protocol=" + s.protocol + "\n";
    text += "CommandLine=" + s.commandLine + "\n";
    text += "Author=" + s.author + "\n";
    text += "Engine=" + s.engine + "\n";
    text += std::string("Debug=") + Switch(s.debug) + "\n";
    text += std::string("Logfile=") + Switch(s.log) + "\n";
    if (!s.options.empty()) {
        text += "[Options]\n";
        for (const auto& [name, value] : s.options) text += name + "=" + value + "\n";
    }
    return text;
}

std::string WithSetting(const std::string& text, const std::string& section, const std::string& key,
                        const std::string& value) {
    const std::string header = "[" + section + "]";
    std::string out, inSection;
    bool written = false;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string line = text.substr(at, end - at);
        at = end;
        std::string content = line;
        while (!content.empty() && (content.back() == '\n' || content.back() == '\r')) content.pop_back();
        const std::string trimmed = Trimmed(content);
        const std::string lineEnd = line.substr(content.size());
        if (!trimmed.empty() && trimmed.front() == '[') {
            inSection = trimmed;
            out += line;
            if (!written && SameName(trimmed, header)) {
                const std::string ending = lineEnd.empty() ? "\n" : lineEnd;
                if (lineEnd.empty()) out += ending;
                out += key + "=" + value + ending;
                written = true;
            }
            continue;
        }
        const std::size_t equals = content.find('=');
        const bool sameKey = equals != std::string::npos && SameName(Trimmed(content.substr(0, equals)), key);
        if (sameKey && SameName(inSection, header)) continue;
        out += line;
    }
    if (!written) {
        if (!out.empty() && out.back() != '\n') out += "\n";
        out += header + "\n" + key + "=" + value + "\n";
    }
    return out;
}

bool WritableValue(const std::string& value) {
    if (HasControl(value)) return false;
    if (!value.empty() && (value.front() == ' ' || value.front() == '\t' || value.back() == ' ' || value.back() == '\t'))
        return false;
    // A profile reader takes the quotes around a value away.
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return false;
    return true;
}

std::optional<EngineOption> ParseEngineOption(const std::string& text, std::string* error) {
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) {
        *error = "bad --option \"" + text + "\": write NAME=VALUE (e.g. --option Hash=64, --option \"Skill Level=5\")";
        return std::nullopt;
    }
    EngineOption option{Trimmed(text.substr(0, equals)), Trimmed(text.substr(equals + 1))};
    const std::string& name = option.first;
    if (name.empty()) {
        *error = "bad --option \"" + text + "\": no name before the '='";
        return std::nullopt;
    }
    if (name.front() == '[' || name.front() == ';') {
        *error = "bad --option \"" + text + "\": a name starting with '" + name.substr(0, 1) +
                 "' would be read as a section or a comment";
        return std::nullopt;
    }
    if (HasControl(text) || !WritableValue(option.second)) {
        *error = "bad --option \"" + text + "\": the settings file cannot keep that value as it is (a line break, "
                 "a control character, or quotes around the whole value)";
        return std::nullopt;
    }
    return option;
}

void SetEngineOption(std::vector<EngineOption>& options, EngineOption option) {
    for (EngineOption& existing : options) {
        if (SameName(existing.first, option.first)) {
            existing = std::move(option);
            return;
        }
    }
    options.push_back(std::move(option));
}

}  // namespace enghost
