#!/usr/bin/env node
// Chess960 perft positions with their counts from an independent engine.
//
//   node positions.mjs --oracle /usr/games/stockfish [--count N] [--depth D] [--seed S]
//                      [--check ENGINE]
//
// Makes N positions (40 by default): Chess960 and double Chess960 starts, some after a few
// random moves, and starts with the back ranks cleared between king and rooks, where every
// kind of castling is near. Each FEN is written in X-FEN or Shredder-FEN, in turns. The
// oracle (a UCI engine with the UCI_Chess960 option, Stockfish for one) counts each to the
// depth (4 by default) with "go perft D".
//
// Without --check it prints one line a position, "<FEN>;<depth>;<count>", for the tests.
// With --check it also counts each position with the engine's "perft D" and prints every
// mismatch, then a summary; its exit status is 1 when any count differs.
import { spawn } from 'node:child_process';
import { createInterface } from 'node:readline';
import { Chess } from 'chessops/chess';
import { parseFen } from 'chessops/fen';
import { squareRank } from 'chessops/util';
import { backRank, makeRandom, shredderFen, startFen, xFen } from './chess960.mjs';

function option(name, fallback) {
  const i = process.argv.indexOf(name);
  return i > 0 && i + 1 < process.argv.length ? process.argv[i + 1] : fallback;
}

const oracle = option('--oracle', '/usr/games/stockfish');
const count = Number(option('--count', '40'));
const depth = Number(option('--depth', '4'));
const check = option('--check', undefined);
const seed = Number(option('--seed', String(Date.now() % 2147483647)));

const random = makeRandom(seed);

function randomMoves(pos, plies) {
  for (let i = 0; i < plies; ++i) {
    const moves = [];
    for (const [from, dests] of pos.allDests()) for (const to of dests) moves.push({ from, to });
    if (moves.length === 0) break;
    const move = moves[random(moves.length)];
    const piece = pos.board.get(move.from);
    if (piece.role === 'pawn' && (squareRank(move.to) === 0 || squareRank(move.to) === 7)) move.promotion = 'queen';
    pos.play(move);
  }
}

function makePositions() {
  const fens = [];
  for (let i = 0; i < count; ++i) {
    const white = backRank(random);
    const black = i % 2 ? backRank(random) : white; // every other one double Chess960
    const cleared = i % 4 === 3;
    const pos = Chess.fromSetup(parseFen(startFen(white, black, cleared)).unwrap()).unwrap();
    randomMoves(pos, cleared ? random(3) : random(12));
    fens.push(i % 3 === 0 ? shredderFen(pos) : xFen(pos));
  }
  return fens;
}

// A UCI engine that answers one command at a time.
function startEngine(command) {
  const child = spawn(command, [], { stdio: ['pipe', 'pipe', 'ignore'] });
  const lines = createInterface({ input: child.stdout });
  const waiting = [];
  lines.on('line', (line) => {
    for (const w of waiting.slice()) if (w.test(line)) waiting.splice(waiting.indexOf(w), 1) && w.resolve(line);
  });
  const send = (text) => child.stdin.write(text + '\n');
  const until = (test) => new Promise((resolve) => waiting.push({ test, resolve }));
  return { child, send, until };
}

async function perft(engine, fen, command) {
  engine.send(`position fen ${fen}`);
  engine.send(command);
  const line = await engine.until((l) => l.startsWith('Nodes searched'));
  return Number(line.split(/\s+/)[2]);
}

const positions = makePositions();
const reference = startEngine(oracle);
reference.send('setoption name UCI_Chess960 value true');
const tested = check ? startEngine(check) : undefined;
tested?.send('setoption name UCI_Chess960 value true');
let mismatches = 0;
for (const fen of positions) {
  const expected = await perft(reference, fen, `go perft ${depth}`);
  if (!tested) {
    console.log(`${fen};${depth};${expected}`);
    continue;
  }
  const got = await perft(tested, fen, `perft ${depth}`);
  if (got !== expected) {
    ++mismatches;
    console.log(`mismatch: ${fen}: ${got}, oracle ${expected}`);
  }
}
reference.send('quit');
tested?.send('quit');
if (tested) {
  console.log(`${positions.length} positions at depth ${depth}: ${positions.length - mismatches} agree, ${mismatches} differ`);
  process.exitCode = mismatches ? 1 : 0;
}
