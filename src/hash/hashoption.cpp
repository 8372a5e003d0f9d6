#include "hash/hashoption.h"

#include "shell/output.h"

void Hash() {
    // Table sizing and the process-wide table builders are added with the hash tables.
    printLine("\n");
}
