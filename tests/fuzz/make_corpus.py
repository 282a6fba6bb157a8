#!/usr/bin/env python3
"""Writes the binary seeds of the fuzz targets' corpora from the engine
sessions in tests/protocol/data, tests/chess/data and tests/fuzz/data:

  corpus/framing       pieces of sessions, cut into reads of various sizes,
                       with Windows line ends, with lines that fill the
                       buffer and a line longer than it
  corpus/framing_pipe  the same, written into the pipe in those pieces
  corpus/interpret     each search of a session against its position
  corpus/position      search requests as a host fills them
  corpus/features      protocol-2 engines' feature lines, malformed ones,
                       a line of 100 KB
  corpus/uci_info      a UCI engine's searches against their positions,
                       values at and beyond every type's ends, a line of
                       100 KB

The settings corpus (corpus/settings) is plain .init text, kept by hand.
Run from anywhere; it rewrites the files it makes and nothing else.
"""
import pathlib
import struct

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent.parent
SESSIONS = ROOT / "tests" / "protocol" / "data"
CHESS = ROOT / "tests" / "chess" / "data"
DATA = HERE / "data"

CODES = {"P": 1, "N": 2, "B": 3, "R": 4, "Q": 5, "K": 6}


def board_of(placement):
    """64 piece-code bytes, a1 first, from the placement field of a FEN."""
    board = bytearray(64)
    for rank_index, row in enumerate(placement.split("/")):
        rank = 7 - rank_index
        file = 0
        for c in row:
            if c.isdigit():
                file += int(c)
                continue
            code = CODES[c.upper()] + (8 if c.islower() else 0)
            board[rank * 8 + file] = code
            file += 1
    return bytes(board)


def square(text):
    return (ord(text[0]) - ord("a")) + 8 * (int(text[1]) - 1)


def move_word(text):
    promotion = {"q": 4, "r": 5, "b": 6, "n": 7}.get(text[4:5], 0)
    return square(text[0:2]) | (square(text[2:4]) << 6) | (promotion << 12)


START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR"
AFTER_E4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR"
ITALIAN = "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R"


def write(folder, name, data):
    path = HERE / "corpus" / folder / name
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(data)


def framing():
    # flags (1 ends, 2 failed reads, 4 interpret), repeat (r below 16: r more
    # times; 16 to 31: (r - 15) * 256 dots first), count, lengths. Pieces of
    # sessions, not whole ones: every byte of a stream costs time in each
    # check, and the longest seed is the longest input the fuzzer makes.
    fairymax = (SESSIONS / "fairymax_session.txt").read_bytes()
    stockfish = (SESSIONS / "stockfish_polyglot_session.txt").read_bytes()
    gnuchess = (SESSIONS / "gnuchess_polyglot_session.txt").read_bytes()
    seeds = {
        "fairymax_small_reads": bytes([1, 0, 3, 7, 1, 200]) + section(fairymax, 0, 3) + section(fairymax, 40, 60),
        "stockfish_whole_reads_interpreted": bytes([5, 0, 0]) + section(stockfish, 58, 76),
        "gnuchess_windows_line_ends": bytes([1, 0, 4, 1, 2, 3, 64]) +
        section(gnuchess, 60, 90).replace(b"\n", b"\r\n"),
        # CR LF split between reads, LF CR, and doubled line ends.
        "line_end_runs": bytes([3, 0, 2, 5, 1]) +
        b"move e2e4\r\n\n\r\r\n\r\nmove e7e5\n\r  12 35 100 5000 e2e4\r\rx\n",
        # One line of 16 x 300 bytes: longer than the buffer, in pieces.
        "long_line": bytes([1, 15, 1, 0]) + b"1 10 0 5 " + b"e2e4 e7e5 " * 29 + b"x",
    }
    # Lines that just fill the buffer, after 15 or 16 times 256 dots: with a
    # CR LF right at its end, the whole buffer and a line feed, the buffer
    # less one and a lone CR.
    seeds["buffer_edge_cr_lf"] = bytes([1, 30, 0]) + b"x" * 255 + b"\r\ntail\n"
    seeds["buffer_edge_full"] = bytes([1, 31, 0]) + b"\nafter\n"
    seeds["buffer_edge_lone_cr"] = bytes([1, 30, 0]) + b"z" * 255 + b"\rtail\n\n"
    for name, data in seeds.items():
        write("framing", name, data)
        write("framing_pipe", name, data)


def section(data, first, last):
    """Lines first to last (not included) of a session, with their line ends."""
    lines = data.splitlines(keepends=True)
    return b"".join(lines[first:last])


def interpret():
    def seed(name, placement, black, castling, flags, text, depth=0):
        write("interpret", name, search_header(placement, black, castling, flags, depth) + text)

    fairymax = (SESSIONS / "fairymax_session.txt").read_bytes()
    stockfish = (SESSIONS / "stockfish_polyglot_session.txt").read_bytes()
    gnuchess = (SESSIONS / "gnuchess_polyglot_session.txt").read_bytes()
    # One search each, not whole sessions: every line costs time in the
    # recognition of its moves, and the longest seed is the longest input.
    seed("fairymax_reply_to_e4", AFTER_E4, True, 15, 2, section(fairymax, 22, 37))
    seed("stockfish_reply_to_e4", AFTER_E4, True, 15, 2, section(stockfish, 59, 72) + section(stockfish, 77, 79))
    seed("stockfish_rejections", AFTER_E4, True, 15, 2, section(stockfish, 104, 114))
    seed("gnuchess_analysis", ITALIAN, False, 15, 2 | 32 | 128, section(gnuchess, 80, 100))
    seed("gnuchess_stopped", AFTER_E4, True, 15, 2 | 8, section(gnuchess, 60, 81))
    chess_fairymax = (CHESS / "fairymax.txt").read_text()
    chess_stockfish = (CHESS / "stockfish_polyglot.txt").read_text()
    for prefix, text in (("fairymax", chess_fairymax), ("stockfish", chess_stockfish)):
        blocks = text.split("fen ")[1:]
        for index, block in enumerate(blocks[:3]):
            fen, _, rest = block.partition("\n")
            fields = fen.split()
            castling = sum(bit for letter, bit in zip("KQkq", (1, 2, 4, 8)) if letter in fields[2])
            seed(f"{prefix}_{index}", fields[0], fields[1] == "b", castling, 16 | 32 * (fields[1] == "w"),
                 rest.encode(), depth=5)


def search_header(placement, black, castling, flags, depth=0):
    """The header of search_state.h: board, side, castling, en passant, flags
    (1 start position, 2 castling from placement, 4 a line reported, 8
    stopped, 16 White's scores, 32 White to move in the engine, 64 no block,
    128 analysing), the depth reported."""
    return board_of(placement) + bytes([1 if black else 0, castling, 0, flags, depth & 0xFF])


def long_seed(data):
    """The input with letters added at its end until its bytes add up to a
    multiple of 512: the targets repeat such an input's text into lines of
    100 KB (exact_lines.h)."""
    for count in range(64):
        for last in range(ord("a"), ord("z") + 1):
            padded = data + b"a" * count + bytes([last])
            if sum(padded) % 512 == 0:
                return padded
    raise ValueError("no padding found")


def features():
    # lines
    fairymax = (SESSIONS / "fairymax_session.txt").read_bytes()
    polyglot = (SESSIONS / "stockfish_polyglot_session.txt").read_bytes()
    fairy_stockfish = (DATA / "fairy_stockfish_features.txt").read_bytes()
    # A few lines of each greeting: every byte costs time in each reader, and
    # the longest seed is the longest input the fuzzer makes.
    write("features", "fairymax_greeting", section(fairymax, 2, 11) + section(fairymax, 20, 21))
    write("features", "polyglot_greeting", section(polyglot, 1, 25) + section(polyglot, 58, 59))
    write("features", "fairy_stockfish_greeting", section(fairy_stockfish, 1, 6))
    # Open quotes, words without '=' or without a name, bells and tabs before
    # the keyword, a NUL that ends the line, a name and a value too long for
    # their buffers, numbers as switches.
    write("features", "malformed", b"\n".join([
        b'feature myname="Open quote to the end',
        b"feature ping san=1 =orphan analyze= done=1",
        b"\a\afeature\tusermove=1\tsetboard=1",
        b"  feature colors=0 time=+0 memory=-1 smp=007 egt=1x",
        b"feature a=1\0 b=2",
        b"feature " + b"n" * 80 + b'=1 option="' + b"v" * 600 + b'"',
        b"featurex=1",
        b"feature",
    ]) + b"\n")
    # One line of 100 KB: a quoted value that never closes.
    write("features", "long_open_quote", long_seed(b'feature option="Path -path /usr/share/games '))


def uci_info():
    # search header, then lines
    session = (DATA / "stockfish_uci_session.txt").read_bytes()
    # A few lines of each search: every line costs time in the recognition of
    # its moves, and the longest seed is the longest input the fuzzer makes.
    start = search_header(START, False, 15, 1 | 32)
    write("uci_info", "stockfish_greeting", start + section(session, 0, 6) + section(session, 23, 26))
    write("uci_info", "stockfish_start", start + section(session, 26, 33) + section(session, 38, 40))
    write("uci_info", "stockfish_multipv_mate",
          search_header("6k1/5ppp/8/8/8/8/5PPP/R5K1", False, 0, 32) + section(session, 40, 47) +
          section(session, 52, 54))
    after_e5 = search_header("rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR", False, 15, 2 | 32, depth=14)
    write("uci_info", "stockfish_currmove_bounds",
          after_e5 + section(session, 130, 140) + section(session, 167, 171))
    # Keywords without their values, numbers beyond every type, words the
    # reader does not know, a current move too long, illegal moves in the
    # main line, a time at the type's end with a line to show.
    write("uci_info", "edge_values", start + b"\n".join([
        b"info depth",
        b"info score cp",
        b"info currmove",
        b"info depth 99999999999 seldepth 7 nodes -99999999999999999999999 score cp 2147483648 pv e2e4",
        b"info depth 3 score cp 10 time 9223372036854775807 pv e2e4 e7e5",
        b"info depth 4 score mate -99999999999 time 99999999999999999999 nodes 5 pv d2d4",
        b"info currmove e2e4e2e4e2 currmovenumber 70000 wdl 500 400 100 refutation e2e4 e7e5",
        b"info string pv e2e4",
        b"info multipv 2 score cp 5 pv e2e4",
        b"info depth 5 score cp 7 lowerbound pv e2e4",
        b"info depth 6 score cp 8 pv e2e4 e7e5 zz99 e1e8",
        b"info\tdepth\t7\tscore\tcp\t9\tpv\tg1f3",
        b"info pv",
        b"bestmove e2e4 ponder e7e5",
        b"info depth 8 score cp 1 pv e2e4",
    ]) + b"\n")
    # One line of 100 KB: a main line of thousands of moves.
    write("uci_info", "long_main_line", long_seed(start + b"info depth 1 score cp 1 pv e2e4 e7e5 g1f3 "))


def position():
    def record(moves=(), clock=1, time_left=0, increment=0, time_used=0, to_go=0, played=0, ponder=0,
               placement=None, white=True, ep=0, castling=0):
        data = bytearray(1144)
        if placement is None:
            data[92] = 1
            data[93] = 1
        else:
            data[28:92] = board_of(placement)
            data[93] = 1 if white else 0
            data[94] = ep
            data[95] = castling
        for i, move in enumerate(moves):
            struct.pack_into("<H", data, 96 + 2 * i, move_word(move))
        struct.pack_into("<hhiiihhhh", data, 1120, len(moves), clock, time_left, increment, time_used, to_go,
                         played, 0, ponder)
        return bytes(data)

    # flags: 1 PonderMode, 2 CastleAndEP, 4 AnalyzeMode, 8 cache kept, 16 twice
    write("position", "start_increment", bytes([0]) + record(["e2e4", "e7e5"], clock=2, time_left=300,
                                                              increment=12))
    write("position", "ponder_moves_in_time", bytes([1 | 16]) +
          record(["e2e4", "e7e5", "g1f3"], clock=3, time_left=7200, to_go=40, ponder=1))
    write("position", "analysis_no_clock", bytes([4]) + record(["d2d4", "d7d5", "c2c4"], clock=1))
    write("position", "setup_black_en_passant", bytes([2]) +
          record(["d4e3"], clock=2, time_left=59, placement="4k3/8/8/8/3pP3/8/8/4K3", white=False,
                 ep=square("e3"), castling=0))
    write("position", "setup_castling_promotion", bytes([2 | 8]) +
          record(["b7b8q", "e8g8"], clock=3, time_left=179, to_go=1, played=20,
                 placement="r3k2r/1P6/8/8/8/8/8/R3K2R", castling=15))


if __name__ == "__main__":
    framing()
    interpret()
    position()
    features()
    uci_info()
