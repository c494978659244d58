// stubborn PIDFILE: a tool that is hard to stop. It ignores SIGTERM, starts a
// grandchild that ignores it too, writes "CHILD GRANDCHILD" (their pids) into
// PIDFILE, then writes "started" and a "tick" line every 100 ms. Only SIGKILL
// ends either before a minute has passed.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string>

int main(int argc, char* argv[]) {
  if (argc != 2) return 2;
  ::signal(SIGTERM, SIG_IGN);
  const pid_t grandchild = ::fork();
  if (grandchild == 0) {
    for (int second = 0; second < 60; ++second) ::sleep(1);
    return 0;
  }
  const std::string pids = std::to_string(::getpid()) + " " + std::to_string(grandchild);
  std::FILE* file = std::fopen(argv[1], "w");
  if (file == nullptr || std::fputs(pids.c_str(), file) < 0 || std::fclose(file) != 0) return 1;
  std::puts("started");
  std::fflush(stdout);
  for (int tick = 0; tick < 600; ++tick) {
    ::usleep(100 * 1000);
    std::puts("tick");
    std::fflush(stdout);
  }
  return 0;
}
