// Chess960 starting positions and FEN text, shared by the perft position maker and the
// match runner.
import { makeFen } from 'chessops/fen';
import { squareFile, squareRank } from 'chessops/util';

// A deterministic generator (Park and Miller), so that a seed gives the same positions again.
export function makeRandom(seed) {
  let state = seed % 2147483647 || 1;
  return (n) => {
    state = (state * 48271) % 2147483647;
    return state % n;
  };
}

// A random back rank of Chess960, as piece letters from the a-file to the h-file: bishops on
// squares of both colours, the king between the rooks.
export function backRank(random) {
  const rank = Array(8).fill(null);
  rank[2 * random(4)] = 'b';
  rank[2 * random(4) + 1] = 'b';
  const free = () => rank.map((p, i) => (p ? -1 : i)).filter((i) => i >= 0);
  for (const piece of ['q', 'n', 'n']) {
    const squares = free();
    rank[squares[random(squares.length)]] = piece;
  }
  const [a, b, c] = free();
  rank[a] = 'r';
  rank[b] = 'k';
  rank[c] = 'r';
  return rank;
}

// A FEN with the given back ranks (White's, Black's) and every castling right, in
// Shredder-FEN. With clearBackRanks only the kings and rooks stay on the back ranks.
export function startFen(white, black, clearBackRanks = false) {
  const rankText = (rank, upper) => {
    let text = '';
    let empty = 0;
    for (const p of rank) {
      const keep = p && (!clearBackRanks || p === 'k' || p === 'r');
      if (!keep) {
        ++empty;
        continue;
      }
      if (empty) text += empty;
      empty = 0;
      text += upper ? p.toUpperCase() : p;
    }
    return text + (empty ? empty : '');
  };
  const rights = (rank, upper) =>
    rank
      .map((p, i) => (p === 'r' ? 'abcdefgh'[i] : ''))
      .join('')
      .split('')
      .reverse()
      .map((f) => (upper ? f.toUpperCase() : f))
      .join('');
  return `${rankText(black, false)}/pppppppp/8/8/8/8/PPPPPPPP/${rankText(white, true)} w ${rights(white, true)}${rights(black, false)} - 0 1`;
}

// The position's FEN with the castling field in Shredder-FEN: the file letters of the rooks.
export function shredderFen(pos) {
  const fen = makeFen(pos.toSetup()).split(' ');
  const rooks = Array.from(pos.castles.castlingRights).reverse();
  const letters = (rank, upper) =>
    rooks
      .filter((square) => squareRank(square) === rank)
      .map((square) => 'abcdefgh'[squareFile(square)])
      .map((letter) => (upper ? letter.toUpperCase() : letter))
      .join('');
  fen[2] = letters(0, true) + letters(7, false) || '-';
  return fen.join(' ');
}

// The position's FEN in X-FEN: K/Q/k/q for the outermost rooks, a file letter otherwise.
export const xFen = (pos) => makeFen(pos.toSetup());
