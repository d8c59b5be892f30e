// What the simulated tool does differently on POSIX systems.
#include <csignal>
#include <cstdio>

#include "sim.h"

void dieBySignal(int signal) {
  std::fflush(stdout);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

bool replaceFile(const std::string &from, const std::string &to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}
