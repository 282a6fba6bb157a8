#include "detect.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "board.h"
#include "protocol/cecp/features.h"
#include "settings_file.h"

namespace enghost {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    const std::size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::string FirstWord(const std::string& text) {
    const std::size_t end = text.find_first_of(" \t");
    return end == std::string::npos ? text : text.substr(0, end);
}

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

bool IsNumber(std::string text, bool allowSign) {
    if (allowSign && !text.empty() && (text[0] == '-' || text[0] == '+')) text.erase(0, 1);
    // A ply count may be written "12." and, while it grows, "12&"; a time may carry a fraction.
    while (!text.empty() && (text.back() == '.' || text.back() == '&')) text.pop_back();
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

}  // namespace

const char* DialectSetting(Dialect dialect) {
    switch (dialect) {
    case Dialect::kProtocol2: return "2";
    case Dialect::kUci: return "uci";
    case Dialect::kClassic: break;
    }
    return "1";
}

const char* DialectName(Dialect dialect) {
    switch (dialect) {
    case Dialect::kProtocol2: return "protocol 2";
    case Dialect::kUci: return "UCI";
    case Dialect::kClassic: break;
    }
    return "the classic conversation";
}

bool RejectsCommand(const std::string& line, const std::string& command) {
    const std::string text = Lower(Trimmed(line));
    const std::string first = FirstWord(text);
    // Announcements and reports may name anything without refusing it.
    if (first == "option" || first == "id" || first == "info" || first == "feature" || first == "uciok") return false;
    if (text.find(Lower(command)) == std::string::npos) return false;
    for (const char* word : {"error", "unknown", "illegal", "invalid", "not recognized", "unrecognized"})
        if (text.find(word) != std::string::npos) return true;
    return false;
}

void UciAnswer::Read(const std::string& raw) {
    const std::string line = Trimmed(raw);
    const std::string first = FirstWord(line);
    if (first == "uciok") {
        ok = true;
    } else if (first == "id") {
        const std::string rest = Trimmed(line.substr(2));
        const std::string key = FirstWord(rest);
        const std::string value = Trimmed(rest.substr(key.size()));
        if (key == "name") name = value;
        if (key == "author") author = value;
    } else if (first == "option") {
        // "option name NAME type TYPE ...": the name may hold blanks.
        const std::size_t begin = line.find(" name ");
        const std::size_t typeAt = line.find(" type ", begin == std::string::npos ? 0 : begin + 6);
        if (begin == std::string::npos) return;
        const std::string option = Trimmed(line.substr(begin + 6, typeAt == std::string::npos ? std::string::npos
                                                                                              : typeAt - begin - 6));
        if (option.empty()) return;
        options.push_back(option);
        if (SameName(option, "Ponder")) ponderOption = true;
    } else if (RejectsCommand(line, "uci")) {
        rejected = true;
    }
}

void FeatureAnswer::Read(const std::string& line) {
    if (!cecp::IsFeatureLine(line.c_str())) {
        // "xboard" alone may be unknown to an engine that knows protover:
        // only the refusal of protover ends the wait.
        if (RejectsCommand(line, "protover")) rejected = true;
        return;
    }
    anyFeature = true;
    cecp::FeatureReader reader(line.c_str());
    for (cecp::Feature feature; reader.Next(&feature);) {
        const std::string name = feature.name, value = feature.value;
        if (name == "done") {
            if (cecp::FeatureOn(feature))
                done = true;
            else
                waitLonger = true;
        }
        if (name == "option") {
            // option="NAME -TYPE ...": the name may hold blanks.
            const std::size_t dash = value.find(" -");
            const std::string option = Trimmed(value.substr(0, dash));
            if (!option.empty()) options.push_back(option);
        }
        features.emplace_back(name, value);
    }
}

std::optional<std::string> FeatureAnswer::Value(const std::string& name) const {
    std::optional<std::string> found;
    for (const auto& [key, value] : features)
        if (key == name) found = value;
    return found;
}

std::optional<std::string> ThinkingLine(const std::string& raw) {
    const std::vector<std::string> words = Words(raw);
    if (words.size() < 4 || !IsNumber(words[0], false) || !IsNumber(words[1], true) || !IsNumber(words[2], false) ||
        !IsNumber(words[3], false))
        return std::nullopt;
    std::string line;
    for (std::size_t i = 4; i < words.size(); ++i) line += (line.empty() ? "" : " ") + words[i];
    return line;
}

std::optional<std::string> MoveLine(const std::string& raw) {
    const std::vector<std::string> words = Words(raw);
    if (words.size() == 2 && words[0] == "move") return words[1];
    // The numbered form of the first protocol: "1. ... e7e5".
    if (words.size() == 3 && IsNumber(words[0], false) && words[0].back() == '.' && words[1] == "...")
        return words[2];
    return std::nullopt;
}

bool LineStartsLegally(const std::string& fen, const std::string& line) {
    std::string error;
    const auto board = Board::FromFen(fen, &error);
    if (!board) return false;
    for (const std::string& word : Words(line)) {
        if (word == "..." || word.back() == '.') continue;  // move numbers
        return board->ParseTypedMove(word, &error).has_value();
    }
    return false;
}

void ClassicAnswer::Read(const std::string& line, Stage stage) {
    if (RejectsCommand(line, "castle") || RejectsCommand(line, "ep d6")) castleRejected = true;
    if (RejectsCommand(line, "edit")) editRejected = true;
    switch (stage) {
    case Stage::kSetUp: break;
    case Stage::kAnalysing:
        if (RejectsCommand(line, "analyze")) analyzeRejected = true;
        if (auto pv = ThinkingLine(line)) {
            thinking = true;
            if (LineStartsLegally(kProbeSetUpFen, *pv)) legalLine = true;
        }
        break;
    case Stage::kPlaying:
        if (auto move = MoveLine(line)) {
            moved = true;
            legalMove = LineStartsLegally(kStartFen, *move);
        }
        break;
    }
}

Dialect FoundDialect(const Findings& findings) {
    if (findings.uci.ok) return Dialect::kUci;
    if (findings.features.anyFeature) return Dialect::kProtocol2;
    return Dialect::kClassic;
}

bool AnsweredNothing(const Findings& findings) {
    return !findings.uci.ok && !findings.features.anyFeature && !findings.classic.thinking && !findings.classic.moved;
}

bool EndedEverywhere(const Findings& findings) {
    const bool asked = findings.uciAsked || findings.featuresAsked || findings.classicAsked;
    return asked && (!findings.uciAsked || findings.uciEnded) && (!findings.featuresAsked || findings.featuresEnded) &&
           (!findings.classicAsked || findings.classicEnded);
}

DecidedSettings Decide(const Findings& findings, const InstallChoices& choices) {
    DecidedSettings settings;
    const Dialect found = FoundDialect(findings);
    settings.dialect = choices.protocol.value_or(found);
    const std::string myname = findings.features.Value("myname").value_or("");
    const std::string& uciName = findings.uci.name;
    if (!choices.displayName.empty())
        settings.engine = choices.displayName;
    else if (settings.dialect == Dialect::kUci)
        settings.engine = !uciName.empty() ? uciName : myname;
    else
        settings.engine = !myname.empty() ? myname : uciName;
    settings.author = !choices.author.empty() ? choices.author : findings.uci.author;

    switch (settings.dialect) {
    case Dialect::kUci:
        settings.analyze = true;
        // The protocol's own sign of an engine that can ponder.
        settings.ponder = findings.uci.ponderOption;
        break;
    case Dialect::kProtocol2:
        settings.analyze = cecp::FeatureOn(findings.features.Value("analyze").value_or("1").c_str());
        // The module drives pondering itself in protocol 2.
        settings.ponder = true;
        break;
    case Dialect::kClassic: {
        const ClassicAnswer& classic = findings.classic;
        settings.analyze = classic.thinking;
        settings.ponder = false;
        settings.castleAndEP = findings.classicAsked && classic.thinking && classic.legalLine &&
                               !classic.castleRejected && !classic.editRejected;
        break;
    }
    }
    if (choices.analyze) settings.analyze = *choices.analyze;
    if (choices.ponder) settings.ponder = *choices.ponder;
    if (choices.castleAndEP) settings.castleAndEP = *choices.castleAndEP;

    if (choices.protocol) {
        if (*choices.protocol == Dialect::kClassic && found != Dialect::kClassic)
            settings.warnings.push_back(std::string("it speaks ") + DialectName(found) + "; installed for " +
                                        DialectName(*choices.protocol) + " as --protocol says");
        if (*choices.protocol == Dialect::kUci && findings.uciAsked && !findings.uci.ok)
            settings.warnings.push_back("it did not answer uci with uciok; installed for UCI as --protocol says");
        if (*choices.protocol == Dialect::kProtocol2 && findings.featuresAsked && !findings.features.anyFeature)
            settings.warnings.push_back(
                "it sent no features after protover 2; installed for protocol 2 as --protocol says");
    }
    if (settings.dialect == Dialect::kClassic && AnsweredNothing(findings) &&
        (findings.uciAsked || findings.featuresAsked || findings.classicAsked))
        settings.warnings.push_back(
            "it answered nothing that a chess engine says (to uci, to xboard and protover 2, to analyze or go): "
            "installed with the classic conversation; enghost check tells whether it plays");
    if (settings.castleAndEP && settings.dialect != Dialect::kClassic)
        settings.warnings.push_back("CastleAndEP matters to the classic conversation only");
    return settings;
}

std::vector<std::string> DescribeFindings(const Findings& findings) {
    std::vector<std::string> lines;
    if (findings.uciAsked) {
        const UciAnswer& uci = findings.uci;
        std::string text = "uci          ";
        if (uci.ok) {
            text += "answered: " + (uci.name.empty() ? std::string("no name") : uci.name) +
                    (uci.author.empty() ? "" : " by " + uci.author) + ", " + std::to_string(uci.options.size()) +
                    " options" + (uci.ponderOption ? ", Ponder among them" : ", no Ponder option");
        } else if (uci.rejected) {
            text += "not known to it";
        } else if (findings.uciEnded) {
            text += "it ended (quit or crashed) without uciok";
        } else {
            text += findings.uciSpoke ? "no uciok" : "no answer";
        }
        lines.push_back(text);
    }
    if (findings.featuresAsked) {
        const FeatureAnswer& answer = findings.features;
        std::string text = "protocol 2   ";
        if (answer.anyFeature) {
            const auto myname = answer.Value("myname");
            text += "answered: " + std::to_string(answer.features.size()) + " features" +
                    (myname ? ", myname \"" + *myname + "\"" : ", no myname") +
                    ", analyze=" + answer.Value("analyze").value_or("1 (by default)") +
                    (answer.done ? "" : ", no done=1");
        } else if (answer.rejected) {
            text += "not known to it";
        } else if (findings.featuresEnded) {
            text += "it ended (quit or crashed) without features";
        } else {
            text += findings.featuresSpoke ? "no features" : "no answer";
        }
        lines.push_back(text);
    }
    if (findings.classicAsked) {
        const ClassicAnswer& classic = findings.classic;
        std::string text = "classic      ";
        if (findings.classicAbandoned) {
            text += "not needed";
        } else if (findings.classicEnded && !classic.thinking && !classic.moved) {
            text += "it ended (quit or crashed)";
        } else {
            text += classic.thinking ? "analyses" : classic.analyzeRejected ? "does not know analyze" : "no analysis";
            text += classic.editRejected      ? "; does not know edit"
                    : classic.castleRejected  ? "; refuses castle and ep in edit mode"
                    : classic.thinking && classic.legalLine ? "; takes a set-up position with castle and ep"
                                                            : "";
            text += classic.moved ? (classic.legalMove ? "; moves when told" : "; answers go with an illegal move")
                                  : "; no move when told";
        }
        lines.push_back(text);
    }
    return lines;
}

}  // namespace enghost
