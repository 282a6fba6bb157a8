#include "pgn.h"

namespace enghost {

namespace {

std::string Escaped(const std::string& value) {
    std::string text;
    for (char c : value) {
        if (c == '"' || c == '\\') text += '\\';
        text += (c == '\n' || c == '\r') ? ' ' : c;
    }
    return text;
}

std::string Comment(const std::string& text) {
    std::string body;
    for (char c : text) body += (c == '}') ? ')' : (c == '\n' || c == '\r') ? ' ' : c;
    return "{" + body + "}";
}

}  // namespace

std::string WritePgn(const PgnGame& game) {
    std::string out;
    for (const auto& [name, value] : game.tags) out += "[" + name + " \"" + Escaped(value) + "\"]\n";
    out += "\n";

    std::vector<std::string> tokens;
    int number = game.firstMoveNumber;
    bool white = !game.blackMovesFirst;
    bool needNumber = true;  // a Black move needs "N..." at the start and after a comment
    for (const PgnMove& move : game.moves) {
        if (white)
            tokens.push_back(std::to_string(number) + ".");
        else if (needNumber)
            tokens.push_back(std::to_string(number) + "...");
        tokens.push_back(move.san);
        needNumber = false;
        if (!move.comment.empty()) {
            tokens.push_back(Comment(move.comment));
            needNumber = true;
        }
        if (!white) ++number;
        white = !white;
    }
    if (!game.reason.empty()) tokens.push_back(Comment(game.reason));
    tokens.push_back(game.result);

    std::string line;
    for (const std::string& token : tokens) {
        // A comment may be broken at its blanks; other tokens are kept whole.
        std::size_t start = 0;
        while (start < token.size()) {
            std::size_t end = token.size();
            const std::size_t room = line.empty() ? 79 : (line.size() + 1 < 79 ? 79 - line.size() - 1 : 0);
            if (token.size() - start > room && token[0] == '{') {
                const std::size_t blank = token.rfind(' ', start + room);
                if (blank != std::string::npos && blank > start) end = blank;
            }
            const std::string piece = token.substr(start, end - start);
            if (!line.empty() && line.size() + 1 + piece.size() > 79) {
                out += line + "\n";
                line.clear();
                continue;  // the same piece again, on a fresh line
            }
            line += (line.empty() ? "" : " ") + piece;
            start = end == token.size() ? end : end + 1;
        }
    }
    if (!line.empty()) out += line + "\n";
    out += "\n";
    return out;
}

}  // namespace enghost

