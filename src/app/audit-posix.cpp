// The audit record on POSIX systems: syslog(3), facility LOG_USER.
#include <climits>
#include <pwd.h>
#include <syslog.h>
#include <unistd.h>

#include "app/audit.h"

void writeToSystemLog(AuditSeverity severity, const std::string &text) {
  int priority = severity == AuditSeverity::notice    ? LOG_NOTICE
                 : severity == AuditSeverity::warning ? LOG_WARNING
                                                      : LOG_ERR;
  // Without LOG_CONS: with no syslog daemon listening the record is lost,
  // and nothing reaches the console or this run's output.
  openlog("vexoflash", LOG_PID, LOG_USER);
  syslog(priority, "%s", text.c_str());
  closelog();
}

AuditCaller auditCaller() {
  AuditCaller caller;
  uid_t uid = getuid(); // the real user, who started the run (sudo: root)
  caller.uid = std::to_string(uid);
  // cppcheck-suppress getpwuidCalled ; single-threaded
  if (const passwd *user = getpwuid(uid); user != nullptr)
    caller.user = user->pw_name;
  char dir[PATH_MAX];
  if (getcwd(dir, sizeof dir) != nullptr)
    caller.dir = dir;
  return caller;
}
