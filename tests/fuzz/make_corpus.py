#!/usr/bin/env python3
"""Writes the fuzz targets' seeds that come from the engine sessions in
tests/protocol/data, tests/chess/data and tests/fuzz/data, behind the
headers that framing_stream.h and search_state.h read (write them anew when
those change). The other seeds (edge cases, search requests, settings, move
text) are kept by hand. A seed is a piece of a session, not a whole one:
every byte costs time in each check, and the longest seed is the longest
input the fuzzer makes. Run from anywhere; it rewrites its own files only.
"""
import pathlib

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent.parent
START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR"
AFTER_E4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR"
ITALIAN = "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R"


def lines(path, first, last):
    """Lines first to last (not included) of a file, with their line ends."""
    return b"".join((ROOT / "tests" / path).read_bytes().splitlines(keepends=True)[first:last])


def write(folder, name, data):
    (HERE / "corpus" / folder).mkdir(parents=True, exist_ok=True)
    (HERE / "corpus" / folder / name).write_bytes(data)


def board_of(placement):
    """64 piece-code bytes, a1 first, from the placement field of a FEN."""
    board = b""
    for row in reversed(placement.split("/")):
        for c in row:
            board += bytes(int(c)) if c.isdigit() else bytes(["PNBRQK".index(c.upper()) + 1 + 8 * c.islower()])
    return board


def search_header(placement, black, castling, flags, depth=0):
    """search_state.h's header: board, side, castling, en passant, flags, depth."""
    return board_of(placement) + bytes([black, castling, 0, flags, depth])


def main():
    fairymax, stockfish, gnuchess = (f"protocol/data/{name}_session.txt" for name in
                                     ("fairymax", "stockfish_polyglot", "gnuchess_polyglot"))
    # Framing: flags (1 ends, 2 failed reads, 4 interpret), repeat, count,
    # lengths (framing_stream.h), then the output.
    for name, data in {
        "fairymax_small_reads": bytes([1, 0, 3, 7, 1, 200]) + lines(fairymax, 0, 3) + lines(fairymax, 40, 60),
        "stockfish_whole_reads_interpreted": bytes([5, 0, 0]) + lines(stockfish, 58, 76),
        "gnuchess_windows_line_ends": bytes([1, 0, 4, 1, 2, 3, 64]) +
        lines(gnuchess, 60, 90).replace(b"\n", b"\r\n"),
    }.items():
        write("framing", name, data)
        write("framing_pipe", name, data)

    # Flags: 2 castling from placement, 8 stopped, 16 White's scores, 32
    # White to move in the engine, 128 analysing.
    for name, header, text in [
        ("fairymax_reply_to_e4", search_header(AFTER_E4, 1, 15, 2), lines(fairymax, 22, 37)),
        ("stockfish_reply_to_e4", search_header(AFTER_E4, 1, 15, 2),
         lines(stockfish, 59, 72) + lines(stockfish, 77, 79)),
        ("stockfish_rejections", search_header(AFTER_E4, 1, 15, 2), lines(stockfish, 104, 114)),
        ("gnuchess_analysis", search_header(ITALIAN, 0, 15, 2 | 32 | 128), lines(gnuchess, 80, 100)),
        ("gnuchess_stopped", search_header(AFTER_E4, 1, 15, 2 | 8), lines(gnuchess, 60, 81)),
    ]:
        write("interpret", name, header + text)
    # The first three positions of the chess tests' transcripts, and their lines.
    for prefix in ("fairymax", "stockfish"):
        name = "fairymax.txt" if prefix == "fairymax" else "stockfish_polyglot.txt"
        for index, block in enumerate((ROOT / "tests/chess/data" / name).read_text().split("fen ")[1:4]):
            fen, _, rest = block.partition("\n")
            placement, side, rights = fen.split()[:3]
            castling = sum(bit for letter, bit in zip("KQkq", (1, 2, 4, 8)) if letter in rights)
            header = search_header(placement, side == "b", castling, 16 | 32 * (side == "w"), 5)
            write("interpret", f"{prefix}_{index}", header + rest.encode())

    features = "fuzz/data/fairy_stockfish_features.txt"
    write("features", "fairymax_greeting", lines(fairymax, 2, 11) + lines(fairymax, 20, 21))
    write("features", "polyglot_greeting", lines(stockfish, 1, 25) + lines(stockfish, 58, 59))
    write("features", "fairy_stockfish_greeting", lines(features, 1, 6))

    uci = "fuzz/data/stockfish_uci_session.txt"
    start = search_header(START, 0, 15, 1 | 32)
    write("uci_info", "stockfish_greeting", start + lines(uci, 0, 6) + lines(uci, 23, 26))
    write("uci_info", "stockfish_start", start + lines(uci, 26, 33) + lines(uci, 38, 40))
    write("uci_info", "stockfish_multipv_mate",
          search_header("6k1/5ppp/8/8/8/8/5PPP/R5K1", 0, 0, 32) + lines(uci, 40, 47) + lines(uci, 52, 54))
    write("uci_info", "stockfish_currmove_bounds",
          search_header("rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR", 0, 15, 2 | 32, 14) +
          lines(uci, 130, 140) + lines(uci, 167, 171))


if __name__ == "__main__":
    main()
