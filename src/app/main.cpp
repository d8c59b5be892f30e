// The entry point: reads the command line once and hands it to the driver.
#include "app/driver.h"
#include "common/quote.h"

int main(int argc, char **argv) {
  // The one read of the command line as the user typed it.
  return runVexoflash(argc, argv, typedArguments(argc, argv));
}
