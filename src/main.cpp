#include "shell/engine.h"

int main(int argc, char** argv) { engineMain(argc, argv); }
