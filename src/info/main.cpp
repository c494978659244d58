#include <cstdlib>

#include "info/velmora_info.h"

int main(int argc, char** argv) {
  // libzip turns every entry's date into local time; without TZ, each of
  // those calls reads /etc/localtime anew, which on apps of thousands of
  // entries costs more than the whole report. Naming the same zone once
  // keeps the dates and drops the reads.
  setenv("TZ", ":/etc/localtime", 0);
  return velmora::RunVelmoraInfo(std::vector<std::string>(argv + 1, argv + argc), stdout, stderr);
}
