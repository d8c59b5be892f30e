// The audit record of a run (audit.cpp, audit-posix.cpp, audit-win32.cpp):
// who wrote which image to which device, from what level, with what outcome.
#pragma once

#include <string>

#include "common/outcome.h"
#include "flash/update.h"

// One line of key=value pairs per run past the usage check, written to the
// system log once the run's last message is out; the log adds the time.
struct AuditRecord {
  Outcome outcome = Outcome::notCompleted;
  const char *reason = nullptr; // why the run was refused, or stopped
  const char *address = nullptr;
  char running = '\0';         // the image the scan named, '1' or '2'
  const char *level = nullptr; // the level the scan read, with running
  const char *image = nullptr; // the file the flash command wrote, with flash
  FlashReport flash;           // what the flash did
};

// Who ran the update, and where: the real user's id, its name (empty when
// the user database does not know it), the user who logged in (under
// sudo, not root; empty when the system does not know), and the working
// directory.
struct AuditCaller {
  std::string uid;
  std::string user;
  std::string dir;
  std::string login;
};

// The record's text: outcome first, then the rest in a fixed order; a
// value that is not plain printable ASCII is quoted and escaped, so no
// value can split a record or forge a key.
std::string formatAuditRecord(const AuditRecord &record, const AuditCaller &caller);
// Formats the record for this process's caller and hands it to auditWriter.
void writeAuditRecord(const AuditRecord &record);

// The seam: every record goes through this pointer, so tests can read it.
using AuditWriter = void (*)(AuditSeverity severity, const std::string &text);
extern AuditWriter auditWriter;

// The platform's side (audit-*.cpp): the system log (syslog on POSIX, the
// Application event log on Windows), and the caller of this process.
void writeToSystemLog(AuditSeverity severity, const std::string &text);
AuditCaller auditCaller();
