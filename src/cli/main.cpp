#include "cli/velmora_run.h"

int main(int argc, char** argv) {
  return velmora::RunVelmoraCommandLine(std::vector<std::string>(argv + 1, argv + argc));
}
