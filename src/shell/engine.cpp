#include "shell/engine.h"

#include "platform/platform.h"
#include "shell/output.h"
#include "shell/params.h"

void engineMain() {
    platformInit();
    printLine("Orvo 3.0 w32\n");
    setDefaults();
    exitProcess(0);
}
