// mvsearch takes no arguments and reads no configuration.
#include "app/start_program.h"

int main() { return mvsearch::start_program(); }
