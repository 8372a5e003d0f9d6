#!/usr/bin/env node
// match.mjs - play a match between two UCI chess engines, in standard chess or
// Chess960.
//
// Each game starts fresh engine processes, plays from a start with the two
// engines alternating colours per start, checks every move with chessops and
// keeps the clocks itself. Illegal moves, flag falls, crashes and
// disconnections lose the game for the offending engine. In standard chess
// castling is the king's move two files over (e1g1); with --variant chess960
// the engines get UCI_Chess960, castling is only the king taking its own rook
// (e1h1), and the starts come from a FEN file (X-FEN or Shredder-FEN) or are
// Chess960 and double Chess960 starts drawn at random from a seed. --nodes
// gives each move a fixed node count, as self-play for a model of the outcome
// wants.

import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { Chess, normalizeMove } from 'chessops/chess';
import { makeFen, parseFen } from 'chessops/fen';
import { makeSanAndPlay } from 'chessops/san';
import { makeUci, parseUci, squareRank } from 'chessops/util';
import { backRank, makeRandom, shredderFen, startFen, xFen } from '../chess960/chess960.mjs';

const USAGE = `usage: node match.mjs --engine1 CMD --engine2 CMD (--openings FILE | --seed S) --games N
                      (--tc BASE[+INC] | --tc1 .. --tc2 .. | --movetime MS | --depth D | --nodes N)
                      [options]

  --engine1 CMD, --engine2 CMD  engine command lines (split like a shell would,
                                quotes allowed; no shell features)
  --name1 N, --name2 N          display / PGN names (default: command basename)
  --openings FILE               FEN or EPD file, one position per line, the
                                castling field in X-FEN or Shredder-FEN
                                ('#' comments and blank lines are skipped)
  --variant standard|chess960   the rules (default standard)
  --seed S                      Chess960 only, instead of a file: random starts
                                from seed S, every second one double Chess960
  --fen xfen|shredder|both      Chess960: castling field of the FEN sent
                                (default both: X-FEN and Shredder-FEN by turns
                                from one start to the next)
  --games N                     number of games; each opening is played twice
                                with colours reversed (engine1 white first)
  --tc BASE+INC                 clock in seconds, e.g. 5+0.05 or 10
  --tc1 BASE+INC, --tc2 ...     a clock for each engine (give both, instead of
                                --tc), e.g. to measure what doubled time gives
  --movetime MS                 fixed time per move in milliseconds
  --depth D                     fixed search depth
  --nodes N                     fixed number of nodes per move ("go nodes N");
                                the move may take as long as it needs
  --concurrency C               games played in parallel (default 1)
  --option1 'Name=Value'        UCI option for engine 1 (repeatable)
  --option2 'Name=Value'        UCI option for engine 2 (repeatable)
  --pgn FILE                    write all games to FILE as PGN
  --timemargin MS               allowed clock overrun before a flag fall
                                (default 100)
  --maxmoves N                  adjudicate a draw after N plies (default 300)
  --help                        show this text`;

// Time allowed for the UCI handshake; an engine that misses it forfeits.
const UCIOK_TIMEOUT_MS = 15000;
const READYOK_TIMEOUT_MS = 30000;
// Hard limits when no clock is running.
const DEPTH_TIMEOUT_MS = 60000;
const NODES_TIMEOUT_MS = 3600000;
// How long an engine gets to exit after "quit" before it is killed.
const QUIT_GRACE_MS = 1000;

class UsageError extends Error {}

// ---------------------------------------------------------------------------
// Command line

function parseArgs(argv) {
  const opts = {
    option1: [],
    option2: [],
    concurrency: 1,
    timemargin: 100,
    maxmoves: 300,
    fen: 'both',
    variant: 'standard',
  };
  const valued = new Set([
    'engine1', 'engine2', 'name1', 'name2', 'openings', 'games', 'tc', 'tc1', 'tc2',
    'movetime', 'depth', 'concurrency', 'option1', 'option2', 'pgn',
    'timemargin', 'maxmoves', 'seed', 'fen', 'variant', 'nodes',
  ]);
  for (let i = 0; i < argv.length; i++) {
    let arg = argv[i];
    if (arg === '--help' || arg === '-h') {
      opts.help = true;
      continue;
    }
    if (!arg.startsWith('--')) throw new UsageError(`unexpected argument: ${arg}`);
    arg = arg.slice(2);
    let value;
    const eq = arg.indexOf('=');
    if (eq >= 0) {
      value = arg.slice(eq + 1);
      arg = arg.slice(0, eq);
    }
    if (!valued.has(arg)) throw new UsageError(`unknown option: --${arg}`);
    if (value === undefined) {
      if (i + 1 >= argv.length) throw new UsageError(`--${arg} needs a value`);
      value = argv[++i];
    }
    if (arg === 'option1' || arg === 'option2') opts[arg].push(value);
    else opts[arg] = value;
  }
  if (opts.help) return opts;

  for (const req of ['engine1', 'engine2', 'games']) {
    if (opts[req] === undefined) throw new UsageError(`--${req} is required`);
  }
  if (!['standard', 'chess960'].includes(opts.variant)) {
    throw new UsageError('--variant must be standard or chess960');
  }
  opts.chess960 = opts.variant === 'chess960';
  if ((opts.openings === undefined) === (opts.seed === undefined)) {
    throw new UsageError('give exactly one of --openings, --seed');
  }
  if (opts.seed !== undefined && !opts.chess960) {
    throw new UsageError('--seed draws Chess960 starts: give --variant chess960, or --openings');
  }
  if (!['xfen', 'shredder', 'both'].includes(opts.fen)) {
    throw new UsageError('--fen must be xfen, shredder or both');
  }
  if ((opts.tc1 === undefined) !== (opts.tc2 === undefined)) {
    throw new UsageError('give both --tc1 and --tc2, or neither');
  }
  const limits = ['tc', 'tc1', 'movetime', 'depth', 'nodes'].filter((k) => opts[k] !== undefined);
  if (limits.length !== 1) {
    throw new UsageError('give exactly one of --tc, --tc1/--tc2, --movetime, --depth, --nodes');
  }

  const int = (name, min) => {
    const s = String(opts[name]);
    if (!/^\d+$/.test(s) || Number(s) < min) {
      throw new UsageError(`--${name} must be an integer >= ${min}`);
    }
    opts[name] = Number(s);
  };
  int('games', 1);
  int('concurrency', 1);
  int('timemargin', 0);
  int('maxmoves', 1);
  if (opts.seed !== undefined) int('seed', 1);

  const clockOf = (name) => {
    const m = /^(\d+(?:\.\d+)?)(?:\+(\d+(?:\.\d+)?))?$/.exec(opts[name]);
    if (!m || Number(m[1]) <= 0) {
      throw new UsageError(`--${name} must look like BASE+INC in seconds, e.g. 5+0.05`);
    }
    return { baseMs: Math.round(Number(m[1]) * 1000), incMs: Math.round(Number(m[2] ?? 0) * 1000) };
  };
  const pgnTc = (tc) => (tc.includes('+') ? tc : `${tc}+0`);
  if (opts.tc !== undefined) {
    const c = clockOf('tc');
    opts.limit = { kind: 'tc', clocks: { 1: c, 2: c }, text: `tc ${opts.tc}`, pgn: pgnTc(opts.tc) };
  } else if (opts.tc1 !== undefined) {
    opts.limit = {
      kind: 'tc',
      clocks: { 1: clockOf('tc1'), 2: clockOf('tc2') },
      text: `tc ${opts.tc1} against ${opts.tc2}`,
      pgn: null, // no standard PGN tag for two clocks; the Event tag names both
    };
  } else if (opts.movetime !== undefined) {
    int('movetime', 1);
    opts.limit = { kind: 'movetime', ms: opts.movetime, text: `movetime ${opts.movetime} ms` };
  } else if (opts.nodes !== undefined) {
    int('nodes', 1);
    opts.limit = { kind: 'nodes', nodes: opts.nodes, text: `nodes ${opts.nodes}` };
  } else {
    int('depth', 1);
    opts.limit = { kind: 'depth', depth: opts.depth, text: `depth ${opts.depth}` };
  }

  for (const n of [1, 2]) {
    const argvN = splitCommand(opts[`engine${n}`]);
    if (argvN.length === 0) throw new UsageError(`--engine${n} is empty`);
    opts[`argv${n}`] = argvN;
    opts[`setoptions${n}`] = opts[`option${n}`].map((o) => {
      const eq = o.indexOf('=');
      const name = (eq >= 0 ? o.slice(0, eq) : o).trim();
      if (!name) throw new UsageError(`bad --option${n} '${o}', expected Name=Value`);
      return { name, value: eq >= 0 ? o.slice(eq + 1).trim() : null };
    });
    // In Chess960 the option goes first, so that an explicit value wins.
    if (opts.chess960) opts[`setoptions${n}`].unshift({ name: 'UCI_Chess960', value: 'true' });
  }
  const base1 = path.basename(opts.argv1[0]);
  const base2 = path.basename(opts.argv2[0]);
  const same = base1 === base2;
  opts.name1 ??= same ? `${base1}-1` : base1;
  opts.name2 ??= same ? `${base2}-2` : base2;
  if (opts.name1 === opts.name2) throw new UsageError('--name1 and --name2 must differ');
  return opts;
}

// Split a command line into argv: whitespace separates words, single quotes
// are literal, double quotes allow backslash escapes.
function splitCommand(cmd) {
  const out = [];
  let cur = '';
  let inWord = false;
  let quote = null;
  for (let i = 0; i < cmd.length; i++) {
    const ch = cmd[i];
    if (quote) {
      if (ch === quote) quote = null;
      else if (ch === '\\' && quote === '"' && i + 1 < cmd.length) cur += cmd[++i];
      else cur += ch;
    } else if (ch === '"' || ch === "'") {
      quote = ch;
      inWord = true;
    } else if (ch === '\\' && i + 1 < cmd.length) {
      cur += cmd[++i];
      inWord = true;
    } else if (/\s/.test(ch)) {
      if (inWord) out.push(cur);
      cur = '';
      inWord = false;
    } else {
      cur += ch;
      inWord = true;
    }
  }
  if (quote) throw new UsageError(`unbalanced quote in engine command: ${cmd}`);
  if (inWord) out.push(cur);
  return out;
}

// Random starts: Chess960 for even indices, double Chess960 (each side its own
// back rank) for odd ones.
function randomStarts(seed, count) {
  const random = makeRandom(seed);
  const fens = [];
  for (let i = 0; i < count; i++) {
    const white = backRank(random);
    fens.push(startFen(white, i % 2 ? backRank(random) : white));
  }
  return fens;
}

// Read FEN/EPD positions. EPD lines carry only four FEN fields; the move
// counters then come from hmvc/fmvn operations when present, else "0 1".
function loadOpenings(file) {
  let text;
  try {
    text = fs.readFileSync(file, 'utf8');
  } catch (e) {
    throw new UsageError(`cannot read openings file: ${e.message}`);
  }
  const fens = [];
  text.split(/\r?\n/).forEach((raw, i) => {
    const line = raw.trim();
    if (!line || line.startsWith('#')) return;
    const f = line.split(/\s+/);
    if (f.length < 4) throw new UsageError(`${file}:${i + 1}: not a FEN/EPD line`);
    let fen = f.slice(0, 4).join(' ');
    if (/^\d+$/.test(f[4] ?? '') && /^\d+$/.test(f[5] ?? '')) {
      fen += ` ${f[4]} ${f[5]}`;
    } else {
      const hmvc = /\bhmvc\s+(\d+)/.exec(line);
      const fmvn = /\bfmvn\s+(\d+)/.exec(line);
      fen += ` ${hmvc ? hmvc[1] : 0} ${fmvn ? fmvn[1] : 1}`;
    }
    const setup = parseFen(fen);
    const pos = setup.isOk ? Chess.fromSetup(setup.value) : setup;
    if (!pos.isOk) throw new UsageError(`${file}:${i + 1}: ${pos.error.message}: ${line.slice(0, 100)}`);
    fens.push(fen);
  });
  if (fens.length === 0) throw new UsageError(`no positions in ${file}`);
  return fens;
}

// ---------------------------------------------------------------------------
// Engine process

const liveEngines = new Set();
const warnedOptions = new Set();

class Engine {
  constructor(argv, name) {
    this.argv = argv;
    this.name = name;
    this.child = null;
    this.dead = null; // reason string once the process is gone
    this.waiter = null;
    this.buf = '';
    this.options = new Set();
    this.info = {};
    this.closed = new Promise((resolve) => { this._onClosed = resolve; });
  }

  start() {
    let child;
    try {
      // A process group of its own so wrapper scripts are killed with their children.
      child = spawn(this.argv[0], this.argv.slice(1), {
        stdio: ['pipe', 'pipe', 'ignore'],
        detached: true,
      });
    } catch (e) {
      this._die(`could not be started (${e.message})`);
      return;
    }
    this.child = child;
    liveEngines.add(this);
    child.on('error', (e) => this._die(`could not be started (${e.code || e.message}: ${this.argv[0]})`));
    const ended = (code, signal) => {
      this._flush();
      this._die(signal ? `terminated by signal ${signal}` : `exited with code ${code}`);
    };
    // 'close' comes once stdout is drained; a grandchild holding stdout open
    // must not hide the exit for long, so 'exit' also ends it after a pause.
    child.on('close', ended);
    child.on('exit', (code, signal) => {
      setTimeout(() => ended(code, signal), 500).unref();
    });
    // Writes to a dead engine fail with EPIPE; the death itself is reported via 'close'.
    child.stdin.on('error', () => {});
    child.stdout.setEncoding('utf8');
    child.stdout.on('data', (chunk) => this._onData(chunk));
  }

  _onData(chunk) {
    const t = performance.now();
    this.buf += chunk;
    let nl;
    while ((nl = this.buf.indexOf('\n')) >= 0) {
      const line = this.buf.slice(0, nl);
      this.buf = this.buf.slice(nl + 1);
      this._onLine(line, t);
    }
    // Guard against an engine that never ends its lines.
    if (this.buf.length > 1 << 20) this.buf = this.buf.slice(-4096);
  }

  _flush() {
    if (this.buf) {
      const line = this.buf;
      this.buf = '';
      this._onLine(line, performance.now());
    }
  }

  _onLine(raw, t) {
    const line = raw.trim();
    if (!line) return;
    if (line.startsWith('info ')) this._parseInfo(line);
    else if (line.startsWith('option ')) {
      const m = /^option\s+name\s+(.*?)\s+type\b/.exec(line);
      if (m) this.options.add(m[1].toLowerCase());
    }
    if (this.waiter && this.waiter.pred(line)) this.waiter.done({ type: 'line', line, t });
  }

  // Remember the latest score (and its depth) for the PGN move comment.
  _parseInfo(line) {
    const tok = line.split(/\s+/);
    let depth;
    let score;
    for (let i = 1; i < tok.length - 1; i++) {
      if (tok[i] === 'depth' && /^\d+$/.test(tok[i + 1])) depth = Number(tok[i + 1]);
      else if (tok[i] === 'score' && i + 2 < tok.length) {
        const v = Number(tok[i + 2]);
        if (Number.isFinite(v) && (tok[i + 1] === 'cp' || tok[i + 1] === 'mate')) {
          score = { kind: tok[i + 1], value: v };
        }
      } else if (tok[i] === 'pv' || tok[i] === 'string') break;
    }
    if (score) this.info = { score, depth };
  }

  _die(reason) {
    if (this.dead) return;
    this.dead = reason;
    liveEngines.delete(this);
    this._onClosed();
    if (this.waiter) this.waiter.done({ type: 'dead', reason });
  }

  send(cmd) {
    if (this.dead || !this.child || this.child.stdin.destroyed) return;
    this.child.stdin.write(cmd + '\n');
  }

  // Resolve with the first line matching pred, a timeout or the engine's death.
  waitFor(pred, timeoutMs) {
    if (this.dead) return Promise.resolve({ type: 'dead', reason: this.dead });
    return new Promise((resolve) => {
      const w = {
        pred,
        done: (r) => {
          clearTimeout(w.timer);
          if (this.waiter === w) this.waiter = null;
          resolve(r);
        },
      };
      w.timer = setTimeout(() => w.done({ type: 'timeout' }), timeoutMs);
      this.waiter = w;
    });
  }

  // UCI handshake. Returns null on success, else a reason for the forfeit.
  async init(setoptions) {
    this.start();
    const fail = (r, what, ms) => {
      if (r.type !== 'dead') return `sent no ${what} within ${ms / 1000} s`;
      return this.dead.startsWith('could not') ? this.dead : `${this.dead} during startup`;
    };

    this.send('uci');
    let r = await this.waitFor((l) => l === 'uciok', UCIOK_TIMEOUT_MS);
    if (r.type !== 'line') return fail(r, 'uciok', UCIOK_TIMEOUT_MS);

    for (const { name, value } of setoptions) {
      if (!this.options.has(name.toLowerCase())) {
        const key = `${this.name}\0${name}`;
        if (!warnedOptions.has(key)) {
          warnedOptions.add(key);
          console.error(`warning: ${this.name} does not advertise option '${name}'`);
        }
      }
      this.send(value === null ? `setoption name ${name}` : `setoption name ${name} value ${value}`);
    }
    for (const step of ['isready', 'ucinewgame']) {
      if (step === 'ucinewgame') this.send('ucinewgame');
      this.send('isready');
      r = await this.waitFor((l) => l === 'readyok', READYOK_TIMEOUT_MS);
      if (r.type !== 'line') return fail(r, 'readyok', READYOK_TIMEOUT_MS);
    }
    return null;
  }

  // Ask the engine to quit, kill it if it lingers, and finally clear out
  // anything it left behind in its process group.
  async quit() {
    if (!this.child) return;
    if (!this.dead) {
      this.send('stop');
      this.send('quit');
      const t = setTimeout(() => this.kill(), QUIT_GRACE_MS);
      await this.closed;
      clearTimeout(t);
    }
    this.kill();
  }

  kill() {
    if (!this.child || this.child.pid === undefined) return;
    try {
      process.kill(-this.child.pid, 'SIGKILL');
    } catch {
      // The group is empty already; make sure about the engine itself.
      if (!this.dead) {
        try { this.child.kill('SIGKILL'); } catch { /* gone */ }
      }
    }
  }
}

// ---------------------------------------------------------------------------
// One game

function formatScore(info) {
  if (!info.score) return '';
  const { kind, value } = info.score;
  const s = kind === 'mate'
    ? (value >= 0 ? `+M${value}` : `-M${-value}`)
    : (value >= 0 ? '+' : '') + (value / 100).toFixed(2);
  return info.depth !== undefined ? `${s}/${info.depth}` : s;
}

const COLOR = { w: 'White', b: 'Black' };
const other = (c) => (c === 'w' ? 'b' : 'w');

// The position's part that a repetition compares: the board, the side to move,
// the castling rights and an en passant square where a capture is legal.
const repetitionKey = (pos) => makeFen(pos.toSetup()).split(' ').slice(0, 4).join(' ');

// Every legal move in UCI text: castling as the king taking its own rook in
// Chess960, as the king's move two files over in standard chess.
function legalMoves(pos, chess960) {
  const moves = new Set();
  for (const [from, dests] of pos.allDests()) {
    const piece = pos.board.get(from);
    const pawn = piece.role === 'pawn';
    for (let to of dests) {
      const own = pos.board.get(to);
      if (!chess960 && own && own.color === piece.color) to = to > from ? from + 2 : from - 2;
      if (pawn && (squareRank(to) === 0 || squareRank(to) === 7)) {
        for (const promotion of ['queen', 'rook', 'bishop', 'knight']) moves.add(makeUci({ from, to, promotion }));
      } else {
        moves.add(makeUci({ from, to }));
      }
    }
  }
  return moves;
}

const turnOf = (pos) => (pos.turn === 'white' ? 'w' : 'b');

function gameOver(chess, plies, maxPlies, seen) {
  if (chess.isCheckmate()) {
    const winner = other(turnOf(chess));
    return {
      result: winner === 'w' ? '1-0' : '0-1',
      reason: `${COLOR[winner]} mates`,
      termination: 'normal',
    };
  }
  const draw = (reason, termination = 'normal') => ({ result: '1/2-1/2', reason, termination });
  if (chess.isStalemate()) return draw('Draw by stalemate');
  if (chess.isInsufficientMaterial()) return draw('Draw by insufficient material');
  if ((seen.get(repetitionKey(chess)) ?? 0) >= 3) return draw('Draw by 3-fold repetition');
  if (chess.halfmoves >= 100) return draw('Draw by fifty-move rule');
  if (plies >= maxPlies) return draw(`Draw by adjudication: ${maxPlies} plies reached`, 'adjudication');
  return null;
}

async function playGame(cfg, job) {
  const { number, fen, engine1White } = job;
  const e1 = new Engine(cfg.argv1, cfg.name1);
  const e2 = new Engine(cfg.argv2, cfg.name2);
  const side = engine1White ? { w: e1, b: e2 } : { w: e2, b: e1 };
  const idOf = (eng) => (eng === e1 ? 1 : 2);
  const game = {
    number,
    fen,
    white: side.w.name,
    black: side.b.name,
    whiteId: idOf(side.w),
    moves: [],
    result: '*',
    reason: '',
    termination: 'unterminated',
    loser: null, // 1 or 2 when an engine forfeited
    lossKind: null, // 'illegal' | 'time' | 'crash' | 'disconnect'
  };
  const forfeit = (color, kind, reason, termination) => {
    Object.assign(game, {
      result: color === 'w' ? '0-1' : '1-0',
      reason,
      termination,
      loser: idOf(side[color]),
      lossKind: kind,
    });
  };

  try {
    const [f1, f2] = await Promise.all([e1.init(cfg.setoptions1), e2.init(cfg.setoptions2)]);
    if (f1 && f2) {
      Object.assign(game, {
        reason: `Both engines failed: ${e1.name} ${f1}; ${e2.name} ${f2}`,
        termination: 'abandoned',
        bothFailed: true,
      });
      return game;
    }
    if (f1 || f2) {
      const bad = f1 ? e1 : e2;
      const color = side.w === bad ? 'w' : 'b';
      forfeit(color, 'crash', `${COLOR[color]} forfeits: ${bad.name} ${f1 || f2}`, 'abandoned');
      return game;
    }

    const chess = Chess.fromSetup(parseFen(fen).unwrap()).unwrap();
    // The text sent to the engines names the castling rooks in the form asked for.
    const sentFen = cfg.chess960 && job.fenStyle === 'shredder' ? shredderFen(chess) : xFen(chess);
    game.fen = xFen(chess);
    const seen = new Map([[repetitionKey(chess), 1]]);
    const uci = [];
    const lim = cfg.limit;
    // Each colour's clock is the one of the engine that plays it.
    const own = (c) => (lim.kind === 'tc' ? lim.clocks[idOf(side[c])] : null);
    const clock = lim.kind === 'tc' ? { w: own('w').baseMs, b: own('b').baseMs } : { w: 0, b: 0 };

    for (;;) {
      const end = gameOver(chess, uci.length, cfg.maxmoves, seen);
      if (end) {
        Object.assign(game, end);
        return game;
      }
      const color = turnOf(chess);
      const eng = side[color];

      let go;
      let allowedMs;
      if (lim.kind === 'tc') {
        const wt = Math.max(1, Math.round(clock.w));
        const bt = Math.max(1, Math.round(clock.b));
        go = `go wtime ${wt} btime ${bt} winc ${own('w').incMs} binc ${own('b').incMs}`;
        allowedMs = clock[color] + cfg.timemargin;
      } else if (lim.kind === 'movetime') {
        go = `go movetime ${lim.ms}`;
        allowedMs = 3 * lim.ms + 1000;
      } else if (lim.kind === 'nodes') {
        // A node count is no clock: the move may take what the machine needs for it.
        go = `go nodes ${lim.nodes}`;
        allowedMs = NODES_TIMEOUT_MS;
      } else {
        go = `go depth ${lim.depth}`;
        allowedMs = DEPTH_TIMEOUT_MS;
      }

      eng.send(uci.length ? `position fen ${sentFen} moves ${uci.join(' ')}` : `position fen ${sentFen}`);
      eng.info = {};
      const pending = eng.waitFor((l) => /^bestmove(\s|$)/.test(l), Math.max(0, allowedMs));
      const t0 = performance.now();
      eng.send(go);
      const r = await pending;
      const elapsed = (r.type === 'line' ? r.t : performance.now()) - t0;

      if (r.type === 'dead') {
        // A process that ended on a signal crashed; one that exited closed its pipes.
        const kind = r.reason.startsWith('terminated') ? 'crash' : 'disconnect';
        const what = kind === 'crash' ? 'crashed' : 'disconnected';
        forfeit(color, kind, `${COLOR[color]} loses: ${eng.name} ${what} (${r.reason})`, 'abandoned');
        return game;
      }
      if (r.type === 'timeout' || elapsed > allowedMs) {
        const why = lim.kind === 'tc'
          ? `${COLOR[color]} loses on time (${eng.name} used ${(elapsed / 1000).toFixed(3)} s`
            + ` with ${(Math.max(0, clock[color]) / 1000).toFixed(3)} s left)`
          : `${COLOR[color]} loses on time (${eng.name} sent no bestmove within ${allowedMs / 1000} s)`;
        forfeit(color, 'time', why, 'time forfeit');
        return game;
      }

      const text = r.line.split(/\s+/)[1] ?? '';
      const want = text.toLowerCase();
      if (!legalMoves(chess, cfg.chess960).has(want)) {
        forfeit(color, 'illegal', `${COLOR[color]} makes an illegal move: ${text || '(empty)'} (${eng.name})`,
          'rules infraction');
        return game;
      }
      const san = makeSanAndPlay(chess, normalizeMove(chess, parseUci(want)));
      seen.set(repetitionKey(chess), (seen.get(repetitionKey(chess)) ?? 0) + 1);
      uci.push(want);
      if (lim.kind === 'tc') clock[color] += own(color).incMs - elapsed;
      const score = formatScore(eng.info);
      game.moves.push({
        san,
        comment: `${score ? score + ' ' : ''}${(elapsed / 1000).toFixed(3)}s`,
      });
    }
  } finally {
    await Promise.all([e1.quit(), e2.quit()]);
  }
}

// ---------------------------------------------------------------------------
// Output

function pgnDate(d) {
  const p = (n) => String(n).padStart(2, '0');
  return `${d.getFullYear()}.${p(d.getMonth() + 1)}.${p(d.getDate())}`;
}

function gamePgn(cfg, game, date) {
  const esc = (s) => String(s).replace(/\\/g, '\\\\').replace(/"/g, '\\"');
  const tags = [
    ['Event', `${cfg.name1} vs ${cfg.name2}, ${cfg.limit.text}`],
    ['Site', os.hostname()],
    ['Date', date],
    ['Round', String(game.number)],
    ['White', game.white],
    ['Black', game.black],
    ['Result', game.result],
    ...(cfg.chess960 ? [['Variant', 'Chess960']] : []),
    ['FEN', game.fen],
    ['SetUp', '1'],
    ['PlyCount', String(game.moves.length)],
  ];
  if (cfg.limit.kind === 'tc' && cfg.limit.pgn) tags.push(['TimeControl', cfg.limit.pgn]);
  tags.push(['Termination', game.termination]);

  const f = game.fen.split(' ');
  let moveNo = Number(f[5]) || 1;
  let color = f[1];
  // The final reason is folded into the last move's comment: several PGN
  // readers reject two comments in a row.
  const reason = game.reason.replace(/[{}]/g, '');
  const tokens = [];
  game.moves.forEach((m, i) => {
    if (color === 'w') tokens.push(`${moveNo}.`);
    else if (i === 0) tokens.push(`${moveNo}...`);
    const last = i === game.moves.length - 1;
    tokens.push(m.san, `{${m.comment}${last && reason ? `, ${reason}` : ''}}`);
    if (color === 'b') moveNo++;
    color = other(color);
  });
  if (game.moves.length === 0 && reason) tokens.push(`{${reason}}`);
  tokens.push(game.result);

  const lines = [];
  let cur = '';
  for (const t of tokens) {
    if (cur && cur.length + 1 + t.length > 79) {
      lines.push(cur);
      cur = t;
    } else {
      cur = cur ? `${cur} ${t}` : t;
    }
  }
  if (cur) lines.push(cur);
  return tags.map(([k, v]) => `[${k} "${esc(v)}"]`).join('\n') + '\n\n' + lines.join('\n') + '\n\n';
}

function eloStats(w, l, d) {
  const n = w + l + d;
  if (n === 0) return null;
  const s = (w + d / 2) / n;
  const variance = (w * (1 - s) ** 2 + l * s ** 2 + d * (0.5 - s) ** 2) / n;
  const se = Math.sqrt(variance / n);
  const elo = (p) => (p <= 0 ? -Infinity : p >= 1 ? Infinity : -400 * Math.log10(1 / p - 1));
  return { score: s, diff: elo(s), err: (elo(s + 1.96 * se) - elo(s - 1.96 * se)) / 2 };
}

const fmtElo = (x) => (Number.isFinite(x) ? (x >= 0 ? '+' : '') + x.toFixed(1) : x > 0 ? '+inf' : '-inf');

function summary(cfg, games, planned) {
  const s = { w: 0, l: 0, d: 0, unfinished: 0 };
  const zero = () => ({ illegal: 0, time: 0, crash: 0, disconnect: 0 });
  const losses = { 1: zero(), 2: zero() };
  for (const g of games) {
    if (g.bothFailed) {
      losses[1].crash++;
      losses[2].crash++;
    } else if (g.loser) {
      losses[g.loser][g.lossKind]++;
    }
    if (g.result === '1/2-1/2') s.d++;
    else if (g.result === '*') s.unfinished++;
    else {
      const whiteWon = g.result === '1-0';
      if (whiteWon === (g.whiteId === 1)) s.w++;
      else s.l++;
    }
  }
  const out = [];
  out.push('');
  out.push(`Match ${cfg.name1} vs ${cfg.name2} (${cfg.limit.text}): ${games.length}/${planned} games played`);
  out.push(`${cfg.name1}: ${s.w} wins, ${s.l} losses, ${s.d} draws`
    + (s.unfinished ? ` (${s.unfinished} games without result)` : ''));
  const e = eloStats(s.w, s.l, s.d);
  if (e) {
    const n = s.w + s.l + s.d;
    out.push(`Score of ${cfg.name1}: ${(s.w + s.d / 2).toFixed(1)}/${n} = ${(100 * e.score).toFixed(1)}%`);
    const err = Number.isFinite(e.err) ? `+/- ${e.err.toFixed(1)}` : '+/- inf';
    out.push(`Elo difference (${cfg.name1} - ${cfg.name2}): ${fmtElo(e.diff)} ${err} (95%)`);
  }
  out.push('Losses by illegal move / time forfeit / crash / disconnection:');
  for (const id of [1, 2]) {
    const L = losses[id];
    out.push(`  ${cfg[`name${id}`]}: ${L.illegal} / ${L.time} / ${L.crash} / ${L.disconnect}`);
  }
  return out.join('\n');
}

// ---------------------------------------------------------------------------
// Main

async function main() {
  let cfg;
  try {
    cfg = parseArgs(process.argv.slice(2));
    if (cfg.help) {
      console.log(USAGE);
      return 0;
    }
    cfg.openingFens = cfg.openings !== undefined
      ? loadOpenings(cfg.openings)
      : randomStarts(cfg.seed, Math.ceil(cfg.games / 2));
    cfg.source = cfg.openings !== undefined
      ? `${cfg.openingFens.length} starts from ${cfg.openings}`
      : `${cfg.openingFens.length} random starts from seed ${cfg.seed}, every second one double Chess960`;
    if (cfg.pgn) {
      try {
        fs.writeFileSync(cfg.pgn, '');
      } catch (e) {
        throw new UsageError(`cannot write PGN file: ${e.message}`);
      }
    }
  } catch (e) {
    if (!(e instanceof UsageError)) throw e;
    console.error(`match.mjs: ${e.message}\n\n${USAGE}`);
    return 2;
  }

  const fens = cfg.openingFens;
  const jobs = [];
  for (let i = 0; i < cfg.games; i++) {
    const start = Math.floor(i / 2);
    const shredder = cfg.fen === 'shredder' || (cfg.fen === 'both' && start % 2 === 1);
    jobs.push({
      number: i + 1,
      fen: fens[start % fens.length],
      engine1White: i % 2 === 0,
      fenStyle: shredder ? 'shredder' : 'xfen',
    });
  }
  const date = pgnDate(new Date());
  console.log(`Match ${cfg.name1} vs ${cfg.name2}: ${cfg.games} games, ${cfg.limit.text}, `
    + `${cfg.source}, concurrency ${cfg.concurrency}`);
  if (cfg.games > 2 * fens.length) {
    console.log(`note: ${cfg.games} games need ${Math.ceil(cfg.games / 2)} openings; the file is cycled`);
  }

  const finished = [];
  let interrupted = false;
  const onSignal = (sig) => {
    if (interrupted) return;
    interrupted = true;
    for (const eng of [...liveEngines]) eng.kill();
    console.log(`\nInterrupted by ${sig}.`);
    console.log(summary(cfg, finished, cfg.games));
    process.exit(130);
  };
  process.on('SIGINT', onSignal);
  process.on('SIGTERM', onSignal);

  let next = 0;
  const worker = async () => {
    while (next < jobs.length && !interrupted) {
      const job = jobs[next++];
      const g = await playGame(cfg, job);
      if (interrupted) return;
      finished.push(g);
      console.log(`Finished game ${g.number}/${cfg.games} (${g.white} vs ${g.black}): `
        + `${g.result} {${g.reason}} ${g.moves.length} plies`);
      if (cfg.pgn) fs.appendFileSync(cfg.pgn, gamePgn(cfg, g, date));
    }
  };
  await Promise.all(Array.from({ length: Math.min(cfg.concurrency, jobs.length) }, worker));
  finished.sort((a, b) => a.number - b.number);
  console.log(summary(cfg, finished, cfg.games));
  return 0;
}

// Never leave engine processes behind, whatever the way out.
process.on('exit', () => {
  for (const eng of liveEngines) eng.kill();
});

main().then(
  (code) => { process.exitCode = code; },
  (err) => {
    console.error(err && err.stack ? err.stack : err);
    process.exitCode = 1;
  },
);
