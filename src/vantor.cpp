// The program's entry point: everything it does is the library's run().
#include "pipeline.h"

int main(int argc, char **argv) { return run(argc, argv); }
