// Positions that tests of several files set up, search or count, by name. The start
// position is StartFen of board/fen.h.
#pragma once

// Middlegames with every kind of man: a Dragon Sicilian, the Two Knights Defence, and a
// symmetrical Italian game with pins.
constexpr const char* Middlegame = "r1bq1rk1/pp2ppbp/2np1np1/8/3NP3/2N1BP2/PPPQ2PP/R3KB1R w KQ - 0 1";
constexpr const char* TwoKnights = "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4";
constexpr const char* Symmetric = "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10";
// Black to move in a sharp middlegame, and in a rook and knight ending with pawns.
constexpr const char* BlackMiddlegame = "2r1b1k1/R4pp1/4pb1p/1pBr4/1Pq2P2/3N4/2PQ2PP/5RK1 b - - 0 1";
constexpr const char* RookKnightEnding = "8/1p3pkp/p1r3p1/3P3n/3p1P2/3P4/PP3KP1/R3N3 b - - 0 1";

// The move generator's hard cases: castling both ways with pins, en passant and promotions
// (Kiwipete); a rook ending with en passant along the king's rank; promotions with captures
// and checks; a pawn on d7 that takes on c8 and promotes.
constexpr const char* Kiwipete = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
constexpr const char* RookAndPawns = "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1";
constexpr const char* Promotions = "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1";
constexpr const char* PawnOnD7 = "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8";
// Promotions of every kind, with captures, for both sides.
constexpr const char* Underpromotions = "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1";
// En passant: White's e5 pawn may take on f6; Black's pawns on d4 and f4 may both take on e3.
constexpr const char* EnPassantF6 = "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3";
constexpr const char* EnPassantE3 = "r3k2r/8/8/8/3pPp2/8/8/R3K1R1 b Qkq e3 0 1";
// Kings and rooks on their squares, every castling right; the rights of both sides with
// White's h1 rook gone; White's short castling alone, with either side to move.
constexpr const char* CastlingBothWays = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
constexpr const char* RookH1Missing = "r3k2r/8/8/8/8/8/8/R3K3 w KQkq - 0 1";
constexpr const char* ShortCastlingWhite = "4k3/8/8/8/8/8/8/4K2R w K - 0 1";
constexpr const char* ShortCastlingBlack = "4k3/8/8/8/8/8/8/4K2R b K - 0 1";
// A pawn on b7 to promote; a knight pinned to its king by a rook.
constexpr const char* PawnOnB7 = "4k3/1P6/8/8/8/8/8/4K3 w - - 0 1";
constexpr const char* PinnedKnight = "4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1";

// Games over: White checkmated (the fool's mate), Black stalemated.
constexpr const char* FoolsMate = "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3";
constexpr const char* Stalemate = "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1";
// White wins the queen with Rxd5; White mates with f8=Q.
constexpr const char* QueenHangs = "4k3/8/8/3q4/8/8/3R4/4K3 w - - 0 1";
constexpr const char* MateInOne = "8/4KPkp/6p1/8/8/8/8/8 w - - 0 1";

// Two bare kings. No legal positions: kings side by side, no Black king at all, and Black
// in check with White to move.
constexpr const char* BareKings = "8/8/8/8/8/8/8/K6k w - - 0 1";
constexpr const char* KingsSideBySide = "8/8/8/3k4/3K4/8/8/8 w - - 0 1";
constexpr const char* NoBlackKing = "8/8/8/8/8/8/8/K7 w - - 0 1";
constexpr const char* CheckNotToMove = "4k3/8/8/8/8/8/8/4R1K1 w - - 0 1";
