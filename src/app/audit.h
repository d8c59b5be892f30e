// The audit record of a run: who wrote which image to which device, from
// what level and with what outcome. One line of key=value pairs per run
// past the usage check, written to the system log once the run's last
// message is out; the log adds the time.
#pragma once

#include <string>

enum class AuditSeverity { notice, warning, error };

struct AuditRecord {
  // updated, up-to-date, failed, not-completed, not-found or refused.
  const char *outcome = nullptr;
  const char *reason = nullptr; // why the run was refused or not completed
  int exitCode = 0;
  const char *address = nullptr;
  char running = '\0';           // the image the scan named, '1' or '2'
  const char *level = nullptr;   // the level the scan read, with running
  const char *image = nullptr;   // the file handed to the flash command
  const char *inhibit = nullptr; // "held" or "unavailable", with image
  int status = 0;                // the flash's tool status before folding
  const char *advice = nullptr;  // "DC" or "AC", after an update
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
AuditSeverity auditSeverity(const AuditRecord &record);
// Formats the record for this process's caller and hands it to auditWriter.
void writeAuditRecord(const AuditRecord &record);

// The seam: every record goes through this pointer, so tests can read it.
using AuditWriter = void (*)(AuditSeverity severity, const std::string &text);
extern AuditWriter auditWriter;

// The platform's side (audit-*.cpp): the system log (syslog on POSIX, the
// Application event log on Windows), and the caller of this process.
void writeToSystemLog(AuditSeverity severity, const std::string &text);
AuditCaller auditCaller();
