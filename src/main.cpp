#include "shell/engine.h"

int main() { engineMain(); }
