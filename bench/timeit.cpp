// Times two sides against each other, interleaved round by round.
//   timeit ROUNDS CMD [-- CMD ...] :: CMD [-- CMD ...]
// A side is one or more commands (argv, no shell) run one after another;
// its time is their summed wall time. The standard output of every command
// goes to /dev/null. Prints per side the median and minimum time in ms and
// the peak resident memory of its largest command, then the ratio of the
// medians (first side / second side).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Command = std::vector<char *>;
using Side = std::vector<Command>;

struct Sample {
  double ms = 0;
  long maxRssKb = 0;
};

// Runs one command; false when it could not run or did not exit with 0..255.
bool runOnce(Command &command, Sample &sample) {
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid < 0)
    return false;
  if (pid == 0) {
    int devNull = open("/dev/null", O_WRONLY);
    if (devNull >= 0)
      dup2(devNull, STDOUT_FILENO);
    execvp(command[0], command.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid)
    return false;
  auto end = std::chrono::steady_clock::now();
  sample.ms += std::chrono::duration<double, std::milli>(end - start).count();
  sample.maxRssKb = std::max(sample.maxRssKb, usage.ru_maxrss);
  if (!WIFEXITED(status) || WEXITSTATUS(status) == 127) {
    (void)std::fprintf(stderr, "timeit: %s did not run\n", command[0]);
    return false;
  }
  return true;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 4) {
    (void)std::fprintf(stderr, "usage: timeit ROUNDS CMD [-- CMD ...] :: CMD [-- CMD ...]\n");
    return 2;
  }
  long rounds = std::strtol(argv[1], nullptr, 10);
  std::vector<Side> sides(1, Side(1));
  for (int i = 2; i < argc; i++) {
    if (std::strcmp(argv[i], "::") == 0)
      sides.emplace_back(1);
    else if (std::strcmp(argv[i], "--") == 0)
      sides.back().emplace_back();
    else
      sides.back().back().push_back(argv[i]);
  }
  if (rounds < 1 || sides.size() != 2) {
    (void)std::fprintf(stderr, "timeit: need ROUNDS >= 1 and exactly two sides\n");
    return 2;
  }
  for (Side &side : sides)
    for (Command &command : side) {
      if (command.empty()) {
        (void)std::fprintf(stderr, "timeit: empty command\n");
        return 2;
      }
      command.push_back(nullptr);
    }

  std::vector<std::vector<double>> times(2);
  std::vector<long> peakKb(2, 0);
  for (long round = -1; round < rounds; round++) { // round -1 warms the caches
    for (std::size_t s = 0; s < 2; s++) {
      Sample sample;
      for (Command &command : sides[s])
        if (!runOnce(command, sample))
          return 1;
      if (round >= 0) {
        times[s].push_back(sample.ms);
        peakKb[s] = std::max(peakKb[s], sample.maxRssKb);
      }
    }
  }
  for (std::size_t s = 0; s < 2; s++)
    std::printf("side %zu: median %.3f ms, min %.3f ms, peak RSS %ld KiB\n", s + 1,
                median(times[s]), *std::min_element(times[s].begin(), times[s].end()), peakKb[s]);
  std::printf("ratio (side 1 / side 2, medians): %.3f\n", median(times[0]) / median(times[1]));
  return 0;
}
