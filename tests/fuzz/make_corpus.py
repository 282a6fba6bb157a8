#!/usr/bin/env python3
"""Writes the fuzz targets' seeds that come from the engine sessions in
tests/protocol/data, tests/chess/data and tests/fuzz/data, behind the
headers that fuzz_framing and fuzz_engine_lines read (write them anew when
those change). The other seeds (edge cases, search requests, settings, move
text) are kept by hand. A seed is a piece of a session, not a whole one:
every byte costs time in each check, and the longest seed is the longest
input the fuzzer makes. Run from anywhere; it rewrites its own files only.
"""
import functools
import pathlib

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent.parent
START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR"
AFTER_E4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR"
ITALIAN = "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R"
CLASSIC, PROTOCOL2, UCI = range(3)


def lines(path, first, last):
    """Lines first to last (not included) of a file, with their line ends."""
    return b"".join((ROOT / "tests" / path).read_bytes().splitlines(keepends=True)[first:last])


def write(folder, name, data):
    (HERE / "corpus" / folder).mkdir(parents=True, exist_ok=True)
    (HERE / "corpus" / folder / name).write_bytes(data)


def search_header(dialect, placement, black, castling, flags, depth=0):
    """fuzz_engine_lines' header: the dialect, 64 piece codes (a1 first) from
    a FEN's placement, side, castling, en passant, flags, depth."""
    board = b""
    for row in reversed(placement.split("/")):
        for c in row:
            board += bytes(int(c)) if c.isdigit() else bytes(["PNBRQK".index(c.upper()) + 1 + 8 * c.islower()])
    return bytes([dialect]) + board + bytes([black, castling, 0, flags, depth])


def through_pipe(data):
    """The stream with its unused flag bits, repeat byte (of one repeat) and count
    set so that its FNV-1a hash is a multiple of 1024: fuzz_framing pipes those."""
    seeds = (bytes([data[0] | high, repeat, data[2] + more]) + data[3:]
             for high in range(0, 256, 8) for repeat in range(32, 256) for more in range(0, 240, 16))
    fnv1a = lambda seed: functools.reduce(lambda hash, byte: (hash ^ byte) * 16777619 & 0xFFFFFFFF, seed, 2166136261)
    return next(seed for seed in seeds if fnv1a(seed) % 1024 == 0)


def main():
    fairymax, stockfish, gnuchess = (f"protocol/data/{name}_session.txt" for name in
                                     ("fairymax", "stockfish_polyglot", "gnuchess_polyglot"))
    # Framing: flags (1 ends, 2 failed reads), repeat, count, lengths, then
    # the output.
    for name, data in {
        "fairymax_small_reads": bytes([1, 0, 3, 7, 1, 200]) + lines(fairymax, 0, 3) + lines(fairymax, 40, 60),
        "stockfish_whole_reads": bytes([1, 0, 0]) + lines(stockfish, 58, 76),
        "gnuchess_windows_line_ends": bytes([1, 0, 4, 1, 2, 3, 64]) +
        lines(gnuchess, 60, 90).replace(b"\n", b"\r\n"),
    }.items():
        write("framing", name, data)
        write("framing", name + "_pipe", through_pipe(data))

    # Flags: 1 the start position, 2 castling from placement, 8 stopped, 16
    # White's scores, 32 White to move in the engine, 128 analysing.
    uci = "fuzz/data/stockfish_uci_session.txt"
    features = "fuzz/data/fairy_stockfish_features.txt"
    start = START, 0, 15, 1 | 32
    for name, header, text in [
        ("fairymax_reply_to_e4", search_header(CLASSIC, AFTER_E4, 1, 15, 2), lines(fairymax, 22, 37)),
        ("stockfish_reply_to_e4", search_header(CLASSIC, AFTER_E4, 1, 15, 2),
         lines(stockfish, 59, 72) + lines(stockfish, 77, 79)),
        ("stockfish_rejections", search_header(CLASSIC, AFTER_E4, 1, 15, 2), lines(stockfish, 104, 114)),
        ("gnuchess_analysis", search_header(CLASSIC, ITALIAN, 0, 15, 2 | 32 | 128), lines(gnuchess, 80, 100)),
        ("gnuchess_stopped", search_header(CLASSIC, AFTER_E4, 1, 15, 2 | 8), lines(gnuchess, 60, 81)),
        ("fairymax_greeting", search_header(PROTOCOL2, *start), lines(fairymax, 2, 11) + lines(fairymax, 20, 21)),
        ("polyglot_greeting", search_header(PROTOCOL2, *start), lines(stockfish, 1, 25) + lines(stockfish, 58, 59)),
        ("fairy_stockfish_greeting", search_header(PROTOCOL2, *start), lines(features, 1, 6)),
        ("stockfish_uci_greeting", search_header(UCI, *start), lines(uci, 0, 6) + lines(uci, 23, 26)),
        ("stockfish_uci_start", search_header(UCI, *start), lines(uci, 26, 33) + lines(uci, 38, 40)),
        ("stockfish_uci_multipv_mate", search_header(UCI, "6k1/5ppp/8/8/8/8/5PPP/R5K1", 0, 0, 32),
         lines(uci, 40, 47) + lines(uci, 52, 54)),
        ("stockfish_uci_currmove_bounds",
         search_header(UCI, "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR", 0, 15, 2 | 32, 14),
         lines(uci, 130, 140) + lines(uci, 167, 171)),
    ]:
        write("engine_lines", name, header + text)
    # The first three positions of the chess tests' transcripts, and their lines.
    for prefix, name in (("fairymax", "fairymax.txt"), ("stockfish", "stockfish_polyglot.txt")):
        for index, block in enumerate((ROOT / "tests/chess/data" / name).read_text().split("fen ")[1:4]):
            fen, _, rest = block.partition("\n")
            placement, side, rights = fen.split()[:3]
            castling = sum(bit for letter, bit in zip("KQkq", (1, 2, 4, 8)) if letter in rights)
            header = search_header(CLASSIC, placement, side == "b", castling, 16 | 32 * (side == "w"), 5)
            write("engine_lines", f"{prefix}_{index}", header + rest.encode())


if __name__ == "__main__":
    main()
