// The win/draw/loss estimates of the reports (UCI_ShowWDL): the expected wins, draws and
// losses per thousand games for the side to move, from a model of Orvo's own games.
#pragma once

struct Wdl {
    int win, draw, loss;  // per mille, summing to 1000
};

// The estimate for a score (the side to move's view, as the reports print it) at a move
// number of the game. A mate score gives 1000/0/0 or 0/0/1000.
Wdl wdlOf(int score, int moveNumber);
