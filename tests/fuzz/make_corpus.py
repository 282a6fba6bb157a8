#!/usr/bin/env python3
"""Writes the binary seeds of the fuzz targets' corpora from the engine
sessions in tests/protocol/data and tests/chess/data:

  corpus/framing    whole sessions, cut into reads of various sizes, with
                    Windows line ends, with a line longer than the buffer
  corpus/interpret  each search of a session against its position
  corpus/position   search requests as a host fills them

The settings corpus (corpus/settings) is plain .init text, kept by hand.
Run from anywhere; it rewrites the files it makes and nothing else.
"""
import pathlib
import struct

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent.parent
SESSIONS = ROOT / "tests" / "protocol" / "data"
CHESS = ROOT / "tests" / "chess" / "data"

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
    # flags (1 ends, 2 failed reads, 4 interpret, 8 log), repeat, count, lengths
    fairymax = (SESSIONS / "fairymax_session.txt").read_bytes()
    stockfish = (SESSIONS / "stockfish_polyglot_session.txt").read_bytes()
    gnuchess = (SESSIONS / "gnuchess_polyglot_session.txt").read_bytes()
    write("framing", "fairymax_small_reads", bytes([1, 0, 3, 7, 1, 200]) + fairymax)
    write("framing", "stockfish_whole_reads_interpreted", bytes([5, 0, 0]) + stockfish)
    crlf = gnuchess.replace(b"\n", b"\r\n")
    write("framing", "gnuchess_windows_line_ends", bytes([9, 0, 4, 1, 2, 3, 64]) + crlf)
    # CR LF split between reads, LF CR, and doubled line ends.
    write("framing", "line_end_runs", bytes([11, 0, 2, 5, 1]) +
          b"move e2e4\r\n\n\r\r\n\r\nmove e7e5\n\r  12 35 100 5000 e2e4\r\rx\n")
    # Lines that just fill the buffer: with a CR LF right at its end, the whole
    # buffer and a line feed, the buffer less one and a lone CR.
    full = 4096
    write("framing", "buffer_edges", bytes([1, 0, 0]) + b"x" * (full - 1) + b"\r\n" + b"y" * full + b"\n" +
          b"z" * (full - 1) + b"\rtail\n\n")
    # One line of 16 x 300 bytes: longer than the buffer, in pieces.
    write("framing", "long_line", bytes([1, 15, 1, 0]) + b"1 10 0 5 " + b"e2e4 e7e5 " * 29 + b"x")


def interpret():
    def seed(name, placement, black, castling, flags, text, depth=0):
        header = board_of(placement) + bytes([1 if black else 0, castling, 0, flags, depth & 0xFF])
        write("interpret", name, header + text)

    def section(data, first, last):
        lines = data.splitlines(keepends=True)
        return b"".join(lines[first:last])

    fairymax = (SESSIONS / "fairymax_session.txt").read_bytes()
    stockfish = (SESSIONS / "stockfish_polyglot_session.txt").read_bytes()
    gnuchess = (SESSIONS / "gnuchess_polyglot_session.txt").read_bytes()
    # flags: 1 start position, 2 castling from placement, 4 a line reported,
    # 8 stopped, 16 White's scores, 32 White to move in the engine, 128 analysing
    seed("fairymax_reply_to_e4", AFTER_E4, True, 15, 2, fairymax)
    seed("stockfish_reply_to_e4", AFTER_E4, True, 15, 2, stockfish)
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
