#include "board/position.h"

Position rootPosition;
