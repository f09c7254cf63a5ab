#include "app/cli/command_line.h"

int main(int argc, char** argv) {
  return quillon::RunCommandLine(argc, argv);
}
