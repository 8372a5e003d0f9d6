#include "shell/commandline.h"

int main(int argc, char** argv) { engineMain(argc, argv); }
