#!/usr/bin/env python3
"""The generalized SPRT's log-likelihood ratio, worked out apart from enghost.

For each hypothesis (an expected score s from a logistic Elo), the
distribution of results q of mean s that is most likely to have given the
observed shares p maximises sum p log q; Lagrange gives
q_i = p_i / (1 + l (x_i - s)) with sum q_i (x_i - s) = 0. Here l is found by
Newton's method from 0, kept inside the interval where every q_i is
positive, and q is normalised and checked; the ratio is
N * sum p_i log(q1_i / q0_i). Unseen outcomes count as a thousandth.

Prints the cases of sprt_test.cpp's table: python3 sprt_reference.py
"""
import math


def expected(elo):
    return 1 / (1 + 10 ** (-elo / 400))


def most_likely(p, x, s):
    lo, hi = -1 / (max(x) - s), -1 / (min(x) - s)
    lam = 0.0
    for _ in range(100):
        f = sum(pi * (xi - s) / (1 + lam * (xi - s)) for pi, xi in zip(p, x))
        df = -sum(pi * (xi - s) ** 2 / (1 + lam * (xi - s)) ** 2 for pi, xi in zip(p, x))
        step = lam - f / df
        # Newton may leave the interval: halve the way to its edge instead.
        if step <= lo:
            step = (lam + lo) / 2
        elif step >= hi:
            step = (lam + hi) / 2
        if abs(step - lam) < 1e-15:
            break
        lam = step
    q = [pi / (1 + lam * (xi - s)) for pi, xi in zip(p, x)]
    total = sum(q)
    assert abs(total - 1) < 1e-9 and abs(sum(qi * xi for qi, xi in zip(q, x)) - s) < 1e-9
    return [qi / total for qi in q]


def llr(counts, scores, elo0, elo1):
    if sum(counts) == 0:
        return 0.0
    counts = [c if c > 0 else 1e-3 for c in counts]
    n = sum(counts)
    p = [c / n for c in counts]
    q0 = most_likely(p, scores, expected(elo0))
    q1 = most_likely(p, scores, expected(elo1))
    return n * sum(pi * math.log(a / b) for pi, a, b in zip(p, q1, q0))


def trinomial(wins, draws, losses, elo0, elo1):
    return llr([losses, draws, wins], [0, 0.5, 1], elo0, elo1)


def pentanomial(pairs, elo0, elo1):
    return llr(pairs, [0, 0.25, 0.5, 0.75, 1], elo0, elo1)


if __name__ == "__main__":
    for w, d, l, e0, e1 in [(0, 0, 0, 0, 5), (60, 80, 40, 0, 5), (40, 80, 60, 0, 5), (120, 0, 100, 0, 10),
                            (0, 200, 0, 0, 5), (30, 0, 0, 0, 5), (0, 0, 30, -5, 5), (1, 0, 0, 0, 5),
                            (5210, 10400, 5010, -1.75, 0.25)]:
        print(f"trinomial {w} {d} {l} elo0={e0} elo1={e1}: {trinomial(w, d, l, e0, e1):.6f}")
    for pairs, e0, e1 in [([0, 0, 0, 0, 0], 0, 5), ([5, 30, 60, 35, 10], 0, 5), ([10, 35, 60, 30, 5], 0, 5),
                          ([0, 0, 100, 0, 0], 0, 5), ([0, 0, 0, 0, 25], 0, 5), ([1, 0, 0, 0, 0], 0, 5),
                          ([200, 2400, 5200, 2550, 250], -1.75, 0.25)]:
        print(f"pentanomial {pairs} elo0={e0} elo1={e1}: {pentanomial(pairs, e0, e1):.6f}")
