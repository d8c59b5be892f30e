// The audit record on Windows: the Application event log, source
// vexoflash. Texts are in the ANSI code page, as the arguments are.
#include <windows.h>

#include <sddl.h>

#include "app/audit.h"

namespace {

// The user's security identifier (S-1-5-21-...), Windows' user id.
std::string userSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
    return {};
  std::string sid;
  DWORD size = 0;
  (void)GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::string buffer(size, '\0');
  char *text = nullptr;
  if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
      ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER *>(buffer.data())->User.Sid, &text)) {
    sid = text;
    LocalFree(text);
  }
  CloseHandle(token);
  return sid;
}

} // namespace

void writeToSystemLog(AuditSeverity severity, const std::string &text) {
  WORD type = severity == AuditSeverity::notice    ? EVENTLOG_INFORMATION_TYPE
              : severity == AuditSeverity::warning ? EVENTLOG_WARNING_TYPE
                                                   : EVENTLOG_ERROR_TYPE;
  HANDLE log = RegisterEventSourceA(nullptr, "vexoflash");
  if (log == nullptr)
    return; // no event log: the record is lost, the run is not changed
  const char *strings[] = {text.c_str()};
  (void)ReportEventA(log, type, 0, 1, nullptr, 1, 0, strings, nullptr);
  DeregisterEventSource(log);
}

AuditCaller auditCaller() {
  AuditCaller caller;
  caller.uid = userSid();
  char name[256];
  DWORD size = sizeof name;
  if (GetUserNameA(name, &size))
    caller.user = name;
  char dir[MAX_PATH];
  DWORD length = GetCurrentDirectoryA(sizeof dir, dir);
  if (length > 0 && length < sizeof dir)
    caller.dir = dir;
  return caller;
}
