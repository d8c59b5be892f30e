// The audit record on POSIX systems: syslog(3), facility LOG_USER.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <pwd.h>
#include <signal.h>
#include <sys/time.h>
#include <syslog.h>
#include <unistd.h>

#include "app/audit.h"

namespace {

void interruptDelivery(int /*signal*/) {}

// The name of uid; empty when the user database has none. The process is
// single-threaded: getpwuid's static result is safe.
std::string userName(uid_t uid) {
  // cppcheck-suppress getpwuidCalled
  const passwd *user = getpwuid(uid);
  return user != nullptr ? user->pw_name : "";
}

// The user who logged in, as the kernel's audit keeps it through sudo and
// su; empty when unset (4294967295) or unknown.
std::string loginUser() {
  std::FILE *file = std::fopen("/proc/self/loginuid", "r");
  if (file == nullptr)
    return {};
  char text[16] = {};
  bool read = std::fgets(text, sizeof text, file) != nullptr;
  (void)std::fclose(file);
  char *end = nullptr;
  unsigned long id = read ? std::strtoul(text, &end, 10) : 0;
  if (!read || end == text || id >= 4294967295UL)
    return {};
  std::string name = userName(static_cast<uid_t>(id));
  return name.empty() ? std::to_string(id) : name;
}

} // namespace

void writeToSystemLog(AuditSeverity severity, const std::string &text) {
  int priority = severity == AuditSeverity::notice    ? LOG_NOTICE
                 : severity == AuditSeverity::warning ? LOG_WARNING
                                                      : LOG_ERR;
  // syslog(3) waits for a log daemon that stops reading. A timer breaks
  // each wait (no SA_RESTART): within about a second the record is
  // delivered or lost, and the run ends as it would have.
  struct sigaction interrupt {};
  struct sigaction previous {};
  interrupt.sa_handler = interruptDelivery;
  (void)sigemptyset(&interrupt.sa_mask);
  (void)sigaction(SIGALRM, &interrupt, &previous);
  itimerval limit{{0, 500000L}, {0, 500000L}};
  (void)setitimer(ITIMER_REAL, &limit, nullptr);
  // Without LOG_CONS: with no syslog daemon listening the record is lost,
  // and nothing reaches the console or this run's output.
  openlog("vexoflash", LOG_PID, LOG_USER);
  syslog(priority, "%s", text.c_str());
  closelog();
  itimerval off{};
  (void)setitimer(ITIMER_REAL, &off, nullptr);
  (void)sigaction(SIGALRM, &previous, nullptr);
}

AuditCaller auditCaller() {
  AuditCaller caller;
  uid_t uid = getuid(); // the real user, who started the run (sudo: root)
  caller.uid = std::to_string(uid);
  caller.user = userName(uid);
  caller.login = loginUser();
  char dir[PATH_MAX];
  if (getcwd(dir, sizeof dir) != nullptr)
    caller.dir = dir;
  return caller;
}
