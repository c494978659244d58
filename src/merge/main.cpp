#include "merge/velmora_merge.h"

int main(int argc, char** argv) {
  return velmora::RunVelmoraMerge(std::vector<std::string>(argv + 1, argv + argc), stdout, stderr);
}
