#!/usr/bin/env node
// Varied starting positions for self-play: each line of an opening file followed by a few
// random legal plies, so that an engine playing itself from the same few openings with a
// fixed node count does not repeat its games.
//
//   node random-openings.mjs --from FILE --count N [--plies P] [--seed S] > starts.epd
//
// The openings are taken in turn; P random plies (4 by default) follow each, drawn with a
// generator seeded by S, so that a seed gives the same starts again. A start without a
// legal move after its plies is drawn again.
import fs from 'node:fs';
import { Chess } from 'chessops/chess';
import { makeFen, parseFen } from 'chessops/fen';
import { squareRank } from 'chessops/util';

function option(name, fallback) {
  const i = process.argv.indexOf(name);
  return i > 0 && i + 1 < process.argv.length ? process.argv[i + 1] : fallback;
}

const from = option('--from');
const count = Number(option('--count', '0'));
const plies = Number(option('--plies', '4'));
let seed = Number(option('--seed', '1')) % 2147483647 || 1;
if (!from || !(count > 0)) {
  console.error('usage: node random-openings.mjs --from FILE --count N [--plies P] [--seed S]');
  process.exit(2);
}
const random = (n) => {
  seed = (seed * 48271) % 2147483647;
  return seed % n;
};

const openings = fs
  .readFileSync(from, 'utf8')
  .split(/\r?\n/)
  .map((line) => line.trim())
  .filter((line) => line && !line.startsWith('#'))
  .map((line) => {
    const f = line.split(/\s+/);
    return `${f.slice(0, 4).join(' ')} ${/^\d+$/.test(f[4] ?? '') ? f[4] : 0} ${/^\d+$/.test(f[5] ?? '') ? f[5] : 1}`;
  });

for (let i = 0; i < count; ) {
  const pos = Chess.fromSetup(parseFen(openings[i % openings.length]).unwrap()).unwrap();
  for (let p = 0; p < plies && !pos.isEnd(); ++p) {
    const moves = [];
    for (const [from, dests] of pos.allDests()) for (const to of dests) moves.push({ from, to });
    const move = moves[random(moves.length)];
    const lastRank = squareRank(move.to) === 0 || squareRank(move.to) === 7;
    if (pos.board.get(move.from).role === 'pawn' && lastRank) move.promotion = 'queen';
    pos.play(move);
  }
  if (pos.isEnd()) continue;
  console.log(makeFen(pos.toSetup()));
  ++i;
}
