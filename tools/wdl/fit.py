#!/usr/bin/python3
"""Fits Orvo's win/draw/loss model to its own games, and checks it on games the fit has not seen.

    tools/wdl/fit.py --fit A.pgn [B.pgn ...] [--check C.pgn ...]

Every move of the games whose comment carries the score the mover reported ("{+0.35/12
0.512s}", as tools/match/match.mjs writes it) is one data point: the score s in centipawns
from the mover's view, the move number m of the position, and the outcome of the game for
the mover. Mate scores are left out (the engine reports 1000/0/0 or 0/0/1000 for them).
The model gives the expected wins and losses per move as

    win(s, m)  = 1 / (1 + exp(-(t( s) - a(m)) / b(m)))
    loss(s, m) = 1 / (1 + exp(-(t(-s) - a(m)) / b(m)))
    draw       = 1 - win - loss,    t(s) = 100 sign(s) (|s| / 100)^k

with a and b cubic polynomials in x = clamp(m, 8, 120) / 64: a(m) is the score that wins
half the games at move m, b(m) how quickly the chance grows with the score, and k (below 1)
gives large scores the heavier tails the games show. The coefficients maximise the
likelihood of the outcomes (scipy). The script prints them as the engine's code holds them,
then, for the check games, the calibration table: the positions sorted into ten bins by
predicted win chance (0-10%, ..., 90-100%), the predicted and the observed win rate of each
bin, and likewise for losses. It exits with 1 when a bin is off by more than 5 percentage
points.

Debian packages: python3-numpy and python3-scipy.
"""
import argparse
import re
import sys

import numpy as np
from scipy.optimize import minimize
from scipy.special import expit

SCORE = re.compile(r"^([+-]?\d+\.\d+)/\d+")
TOKEN = re.compile(r"\{[^}]*\}|\[[^\]]*\]|[^\s{}\[\]]+")
MIN_MOVE, MAX_MOVE, MOVE_SCALE = 8, 120, 64.0


def points(paths):
    """(score, move number, outcome for the mover: 1 win, 0 draw, -1 loss) of every scored move."""
    scores, moves, outcomes = [], [], []
    games = 0
    for path in paths:
        with open(path, encoding="utf-8") as f:
            text = f.read()
        for game in re.split(r"\n\s*\n(?=\[)", text):
            result = re.search(r'\[Result "([^"]*)"\]', game)
            if not result or result.group(1) not in ("1-0", "0-1", "1/2-1/2"):
                continue
            white = {"1-0": 1, "0-1": -1, "1/2-1/2": 0}[result.group(1)]
            fen = re.search(r'\[FEN "([^"]*)"\]', game)
            fields = fen.group(1).split() if fen else ["", "w", "", "", "0", "1"]
            side = fields[1] if len(fields) > 1 else "w"
            number = int(fields[5]) if len(fields) > 5 and fields[5].isdigit() else 1
            body = game[game.rfind("]") + 1:] if "]" in game else game
            games += 1
            moved = False
            for token in TOKEN.findall(body):
                if token.startswith("{"):
                    if not moved:
                        continue
                    moved = False
                    match = SCORE.match(token[1:].strip())
                    if match:
                        scores.append(float(match.group(1)) * 100)
                        moves.append(number)
                        outcomes.append(white if side == "w" else -white)  # side: the one that moved
                    # the side to move after the comment's move
                    if side == "b":
                        number += 1
                    side = "b" if side == "w" else "w"
                elif re.match(r"^\d+\.(\.\.)?$", token) or token in ("1-0", "0-1", "1/2-1/2", "*"):
                    continue
                else:
                    if moved:  # a move without a comment: count it all the same
                        if side == "b":
                            number += 1
                        side = "b" if side == "w" else "w"
                    moved = True
    return np.array(scores), np.array(moves, dtype=float), np.array(outcomes), games


def stage(moves):
    return np.clip(moves, MIN_MOVE, MAX_MOVE) / MOVE_SCALE


def transformed(s, power):
    return np.sign(s) * np.abs(s / 100.0) ** power * 100.0


def model(params, s, m):
    x = stage(m)
    a = np.polyval(params[:4], x)
    b = np.maximum(np.polyval(params[4:8], x), 1.0)
    win = expit((transformed(s, params[8]) - a) / b)
    loss = expit((transformed(-s, params[8]) - a) / b)
    return win, loss


def negative_log_likelihood(params, s, m, outcome):
    win, loss = model(params, s, m)
    draw = np.clip(1 - win - loss, 1e-9, 1)
    p = np.where(outcome == 1, win, np.where(outcome == -1, loss, draw))
    return -np.sum(np.log(np.clip(p, 1e-12, 1)))


def fit(s, m, outcome):
    start = np.array([0, 0, 0, 150.0, 0, 0, 0, 60.0, 1.0])
    result = minimize(negative_log_likelihood, start, args=(s, m, outcome), method="Nelder-Mead",
                      options={"maxiter": 40000, "maxfev": 40000, "xatol": 1e-4, "fatol": 1e-4})
    result = minimize(negative_log_likelihood, result.x, args=(s, m, outcome), method="BFGS")
    return result.x


def calibration(params, s, m, outcome):
    win, loss = model(params, s, m)
    ok = True
    print("calibration on %d positions: predicted and observed rates per bin of predicted chance" % len(s))
    print("%-9s | %8s %9s %8s %6s | %8s %9s %8s %6s" % ("bin", "wins", "predicted", "observed", "diff",
                                                      "losses", "predicted", "observed", "diff"))
    for i in range(10):
        row = "%3d-%3d%% |" % (10 * i, 10 * i + 10)
        for predicted, observed in ((win, outcome == 1), (loss, outcome == -1)):
            in_bin = (np.minimum((predicted * 10).astype(int), 9) == i)
            n = int(np.sum(in_bin))
            if n == 0:
                row += " %8d %9s %8s %6s |" % (0, "-", "-", "-")
                continue
            p, o = 100 * np.mean(predicted[in_bin]), 100 * np.mean(observed[in_bin])
            within = abs(p - o) <= 5
            ok = ok and within
            row += " %8d %8.1f%% %7.1f%% %+5.1f%s|" % (n, p, o, o - p, " " if within else "!")
        print(row.rstrip("|"))
    print("every bin within 5 percentage points: %s" % ("yes" if ok else "NO"))
    return ok


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--fit", nargs="+", required=True, help="PGN files of the games to fit")
    parser.add_argument("--check", nargs="*", default=[], help="PGN files of other games, for the check")
    args = parser.parse_args()

    s, m, outcome, games = points(args.fit)
    if len(s) == 0:
        sys.exit("no scored moves in " + " ".join(args.fit))
    print("fit: %d games, %d positions (wins %d, draws %d, losses %d for the mover)" %
          (games, len(s), np.sum(outcome == 1), np.sum(outcome == 0), np.sum(outcome == -1)))
    params = fit(s, m, outcome)
    print("negative log-likelihood per position: %.4f" % (negative_log_likelihood(params, s, m, outcome) / len(s)))
    print("constants (src/shell/wdl.cpp):")
    print("    constexpr double WinScore[4] = {%s};" % ", ".join("%.6g" % c for c in params[:4]))
    print("    constexpr double WinSpread[4] = {%s};" % ", ".join("%.6g" % c for c in params[4:8]))
    print("    constexpr double ScorePower = %.6g;" % params[8])
    for move in (10, 20, 30, 40, 60, 80, 120):
        x = stage(np.array([move], dtype=float))[0]
        print("    move %3d: a = %6.1f, b = %5.1f" % (move, np.polyval(params[:4], x), np.polyval(params[4:8], x)))
    if args.check:
        cs, cm, co, cgames = points(args.check)
        print("check: %d games" % cgames)
        if not calibration(params, cs, cm, co):
            sys.exit(1)


if __name__ == "__main__":
    main()
