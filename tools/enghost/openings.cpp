#include "openings.h"

#include <cctype>
#include <fstream>
#include <regex>
#include <sstream>

namespace enghost {

namespace {

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

bool AllDigits(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

bool LooksLikePgn(const std::string& text) {
    static const std::regex kTag(R"((^|\n)[ \t]*\[[A-Za-z0-9_]+[ \t]+")");
    static const std::regex kNumberedMove(R"((^|[\s(])1\.)");
    return std::regex_search(text, kTag) || std::regex_search(text, kNumberedMove);
}

// An EPD operation's value: the text after the opcode up to its ';', quotes removed.
std::string Operation(const std::string& operations, const std::string& opcode) {
    const std::regex pattern("(^|;)\\s*" + opcode + "\\s+(\"([^\"]*)\"|([^;]*))");
    std::smatch match;
    if (!std::regex_search(operations, match, pattern)) return "";
    std::string value = match[3].matched ? match[3].str() : match[4].str();
    while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back()))) value.pop_back();
    return value;
}

std::optional<std::vector<Opening>> ParseEpd(const std::string& text, std::string* error) {
    std::vector<Opening> openings;
    std::istringstream in(text);
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::vector<std::string> words = Words(line);
        if (words.empty() || words[0][0] == '#' || words[0][0] == ';') continue;
        const std::string where = "line " + std::to_string(number);
        if (words.size() < 4) {
            *error = where + ": an EPD position has four fields (placement, side, castling, en passant), not \"" +
                     line + "\"";
            return std::nullopt;
        }
        std::size_t used = 4;
        std::string counters;
        if (words.size() >= 6 && AllDigits(words[4]) && AllDigits(words[5])) {
            counters = words[4] + " " + words[5];
            used = 6;
        }
        std::string operations;
        for (std::size_t i = used; i < words.size(); ++i) operations += (operations.empty() ? "" : " ") + words[i];
        if (counters.empty()) {
            const std::string halfMoves = Operation(operations, "hmvc");
            const std::string fullMove = Operation(operations, "fmvn");
            counters = (AllDigits(halfMoves) ? halfMoves : "0") + " " + (AllDigits(fullMove) ? fullMove : "1");
        }
        const std::string fen = words[0] + " " + words[1] + " " + words[2] + " " + words[3] + " " + counters;
        std::string fenError;
        auto board = Board::FromFen(fen, &fenError);
        if (!board) {
            *error = where + ": " + fenError;
            return std::nullopt;
        }
        Opening opening;
        opening.name = Operation(operations, "id");
        if (opening.name.empty()) opening.name = "position " + std::to_string(openings.size() + 1);
        opening.start = *board;
        opening.standardStart = board->Fen() == kStartFen;
        openings.push_back(std::move(opening));
    }
    return openings;
}

// A PGN game being read.
struct PgnReading {
    std::vector<std::pair<std::string, std::string>> tags;
    std::vector<std::string> moves;
    bool any = false;

    std::string Tag(const std::string& name) const {
        for (const auto& [key, value] : tags)
            if (key == name) return value;
        return "";
    }
};

bool Finish(PgnReading& game, int number, std::vector<Opening>* openings, std::string* error) {
    if (!game.any) return true;
    std::string where = "game " + std::to_string(number);
    Opening opening;
    for (const char* tag : {"Opening", "Variation", "Event"}) {
        const std::string value = game.Tag(tag);
        if (!value.empty() && value != "?") {
            opening.name = value;
            break;
        }
    }
    if (!opening.name.empty()) where += " (" + opening.name + ")";
    if (opening.name.empty()) opening.name = "opening " + std::to_string(number);
    const std::string fen = game.Tag("FEN");
    if (!fen.empty()) {
        std::string fenError;
        auto board = Board::FromFen(fen, &fenError);
        if (!board) {
            *error = where + ": its FEN tag: " + fenError;
            return false;
        }
        opening.start = *board;
        opening.standardStart = board->Fen() == kStartFen;
    }
    Board board = opening.start;
    for (const std::string& text : game.moves) {
        std::string moveError;
        const std::string number = std::to_string(board.FullMoveNumber()) + (board.WhiteToMove() ? ". " : "... ");
        auto move = board.ParseTypedMove(text, &moveError);
        if (!move) {
            *error = where + ": move " + number + text + ": " + moveError;
            return false;
        }
        opening.moves.push_back(*move);
        board.Play(*move);
    }
    openings->push_back(std::move(opening));
    game = PgnReading{};
    return true;
}

std::optional<std::vector<Opening>> ParsePgn(const std::string& text, std::string* error) {
    std::vector<Opening> openings;
    PgnReading game;
    int number = 1;
    bool inMoves = false;  // the move text has begun: a tag starts the next game
    std::size_t at = 0;
    int line = 1;
    auto fail = [&](const std::string& what) {
        *error = "line " + std::to_string(line) + ": " + what;
        return std::nullopt;
    };
    while (at < text.size()) {
        const char c = text[at];
        if (c == '\n') {
            ++line;
            ++at;
            continue;
        }
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++at;
            continue;
        }
        const bool lineStart = at == 0 || text[at - 1] == '\n';
        if (c == '%' && lineStart) {  // an escaped line
            at = text.find('\n', at);
            if (at == std::string::npos) break;
            continue;
        }
        if (c == '[') {
            if (inMoves) {
                if (!Finish(game, number++, &openings, error)) return std::nullopt;
                inMoves = false;
            }
            static const std::regex kTag(R"re(\[\s*([A-Za-z0-9_]+)\s+"((?:[^"\\]|\\.)*)"\s*\])re");
            std::smatch match;
            if (!std::regex_search(text.begin() + static_cast<std::ptrdiff_t>(at), text.end(), match, kTag,
                                   std::regex_constants::match_continuous))
                return fail("a malformed tag pair");
            const std::size_t close = at + static_cast<std::size_t>(match.length(0)) - 1;
            std::string value;
            const std::string raw = match[2].str();
            for (std::size_t i = 0; i < raw.size(); ++i) value += raw[i] == '\\' && i + 1 < raw.size() ? raw[++i] : raw[i];
            game.tags.emplace_back(match[1].str(), value);
            game.any = true;
            at = close + 1;
            continue;
        }
        inMoves = true;
        if (c == '{') {
            const std::size_t close = text.find('}', at);
            if (close == std::string::npos) return fail("a comment that is never closed");
            for (std::size_t i = at; i < close; ++i) line += text[i] == '\n';
            at = close + 1;
            continue;
        }
        if (c == ';') {
            at = text.find('\n', at);
            if (at == std::string::npos) break;
            continue;
        }
        if (c == '(') {  // a variation: not played
            int depth = 0;
            for (; at < text.size(); ++at) {
                if (text[at] == '\n') ++line;
                if (text[at] == '{') {
                    const std::size_t close = text.find('}', at);
                    if (close == std::string::npos) return fail("a comment that is never closed");
                    at = close;
                } else if (text[at] == '(') {
                    ++depth;
                } else if (text[at] == ')' && --depth == 0) {
                    break;
                }
            }
            if (depth != 0) return fail("a variation that is never closed");
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])) &&
               std::string("{}();[").find(text[end]) == std::string::npos)
            ++end;
        std::string token = text.substr(at, end - at);
        at = end;
        if (token.empty()) return fail("an unexpected '" + std::string(1, c) + "'");
        if (token == "1-0" || token == "0-1" || token == "1/2-1/2" || token == "*") {
            game.any = true;
            if (!Finish(game, number++, &openings, error)) return std::nullopt;
            inMoves = false;
            continue;
        }
        if (token[0] == '$') continue;  // an annotation glyph
        // A move number, perhaps with the move stuck to it ("1.e4", "3...Nf6").
        if (std::isdigit(static_cast<unsigned char>(token[0]))) {
            const std::size_t dots = token.find('.');
            if (dots != std::string::npos && AllDigits(token.substr(0, dots))) {
                token = token.substr(token.find_first_not_of('.', dots) == std::string::npos
                                         ? token.size()
                                         : token.find_first_not_of('.', dots));
                if (token.empty()) continue;
            }
        }
        game.moves.push_back(token);
        game.any = true;
    }
    if (!Finish(game, number, &openings, error)) return std::nullopt;
    return openings;
}

}  // namespace

std::optional<std::vector<Opening>> ParseOpenings(const std::string& text, std::string* error) {
    auto openings = LooksLikePgn(text) ? ParsePgn(text, error) : ParseEpd(text, error);
    if (openings && openings->empty()) {
        *error = "it holds no opening (EPD positions, one a line, or PGN games)";
        return std::nullopt;
    }
    return openings;
}

std::optional<std::vector<Opening>> ReadOpenings(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot read the openings file " + path;
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    auto openings = ParseOpenings(text.str(), error);
    if (!openings) *error = "the openings file " + path + ": " + *error;
    return openings;
}

}  // namespace enghost
