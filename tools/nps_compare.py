#!/usr/bin/env python3
"""Nodes per second of two UCI engines on the same positions, measured in turns.

Each engine searches each position for a fixed time (one thread, Hash 64 unless --hash
says otherwise, a new game before each search); the rounds alternate which engine goes
first. Prints, per position, the median nodes per second of each engine over the rounds
and their ratio, then the medians over all searches. Run it on an otherwise idle machine.
A small table (--hash 1) shows how much of each engine's speed goes to waiting for memory.

    tools/nps_compare.py ENGINE1 ENGINE2 [--movetime MS] [--rounds N] [--hash MB]
"""
import argparse
import statistics
import subprocess
import time

POSITIONS = [
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r2q1rk1/pp2bppp/2n1bn2/2pp4/3P4/2PBPN2/PP1N1PPP/R2QK2R w KQ - 0 9",
    "2r2rk1/1b2qppp/p3pn2/1p6/3P4/P1NQ1N2/1P3PPP/2R2RK1 w - - 0 18",
    "8/5pk1/6p1/3P4/2p2P2/2K3P1/8/8 w - - 0 45",
    "6k1/5p2/4p1p1/3pP3/1r1P2P1/5K2/R7/8 b - - 0 40",
    "r1b2rk1/2q1bppp/p2ppn2/1p6/3NP3/1BN5/PPP1QPPP/R1B2RK1 w - - 0 12",
]


class Engine:
    def __init__(self, command, hash_mb):
        self.proc = subprocess.Popen([command], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, text=True, bufsize=1)
        self.send("uci")
        self.name = command
        for line in self.lines_until("uciok"):
            if line.startswith("id name "):
                self.name = line[8:]
        self.send("setoption name Threads value 1")
        self.send(f"setoption name Hash value {hash_mb}")
        self.ready()

    def send(self, text):
        self.proc.stdin.write(text + "\n")
        self.proc.stdin.flush()

    def lines_until(self, prefix):
        while True:
            line = self.proc.stdout.readline()
            if not line:
                raise RuntimeError("the engine closed its output")
            line = line.strip()
            yield line
            if line.startswith(prefix):
                return

    def ready(self):
        self.send("isready")
        for _ in self.lines_until("readyok"):
            pass

    def nps(self, fen, movetime):
        """Nodes per second of one search: its last reported node count over the wall time."""
        self.send("ucinewgame")
        self.ready()
        self.send("position fen " + fen)
        start = time.monotonic()
        self.send(f"go movetime {movetime}")
        nodes = 0
        for line in self.lines_until("bestmove"):
            words = line.split()
            if words and words[0] == "info" and "nodes" in words:
                nodes = int(words[words.index("nodes") + 1])
        return nodes / (time.monotonic() - start)

    def quit(self):
        self.send("quit")
        self.proc.wait(timeout=10)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("engine1")
    parser.add_argument("engine2")
    parser.add_argument("--movetime", type=int, default=3000)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--hash", type=int, default=64, help="table size in MB for both engines")
    args = parser.parse_args()

    engines = [Engine(args.engine1, args.hash), Engine(args.engine2, args.hash)]
    results = {(e, p): [] for e in range(2) for p in range(len(POSITIONS))}
    for r in range(args.rounds):
        for p, fen in enumerate(POSITIONS):
            order = (0, 1) if (r + p) % 2 == 0 else (1, 0)
            for e in order:
                results[e, p].append(engines[e].nps(fen, args.movetime))
        print(f"round {r + 1}/{args.rounds} done", flush=True)
    for engine in engines:
        engine.quit()

    names = [e.name for e in engines]
    print(f"\n{'position':<10}{names[0]:>22}{names[1]:>22}{'ratio':>8}")
    for p in range(len(POSITIONS)):
        a = statistics.median(results[0, p])
        b = statistics.median(results[1, p])
        print(f"{p + 1:<10}{a:>22,.0f}{b:>22,.0f}{a / b:>8.2f}")
    all_a = statistics.median(v for p in range(len(POSITIONS)) for v in results[0, p])
    all_b = statistics.median(v for p in range(len(POSITIONS)) for v in results[1, p])
    print(f"{'median':<10}{all_a:>22,.0f}{all_b:>22,.0f}{all_a / all_b:>8.2f}")
    print(f"{args.rounds} rounds, go movetime {args.movetime}, Threads 1, Hash {args.hash}")


if __name__ == "__main__":
    main()
