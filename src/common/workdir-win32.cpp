// The working directory on Windows: its lock and the tool reports in it;
// and the host lock.
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>
#include <windows.h>

#include "common/workdir.h"

namespace {

// The directory's final path (links and short names resolved), upper-cased
// because Windows file names ignore case; empty when it cannot be had.
std::wstring canonicalWorkingDirectory() {
  HANDLE dir = CreateFileW(L".", 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (dir == INVALID_HANDLE_VALUE)
    return {};
  std::wstring path(MAX_PATH, L'\0');
  DWORD size = GetFinalPathNameByHandleW(dir, path.data(), MAX_PATH, FILE_NAME_NORMALIZED);
  if (size >= MAX_PATH) {
    path.resize(size + 1);
    size = GetFinalPathNameByHandleW(dir, path.data(), size + 1, FILE_NAME_NORMALIZED);
  }
  CloseHandle(dir);
  if (size == 0 || size >= path.size())
    return {};
  path.resize(size);
  std::wstring upper(size, L'\0');
  if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, path.data(), static_cast<int>(size),
                    upper.data(), static_cast<int>(size), nullptr, nullptr,
                    0) != static_cast<int>(size))
    return {};
  return upper;
}

// Creates the named mutex that stands for a lock: held when this call
// made it, busy when it exists already. Its handle is inheritable, so
// cmd.exe and the tool keep the name alive while a tool still writes, even
// if this process dies. The kernel drops the name with the last handle:
// nothing is left behind. Access denied means either another user's run
// made it or this process may not create objects in that namespace
// (creating in Global\ takes SeCreateGlobalPrivilege): opening it tells which.
RunLock createLockObject(const std::wstring &name) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE lock = CreateMutexW(&inherit, FALSE, name.c_str());
  DWORD error = GetLastError();
  if (lock != nullptr && error != ERROR_ALREADY_EXISTS)
    return RunLock::held; // kept open until the process ends
  if (lock != nullptr) {
    CloseHandle(lock);
    return RunLock::busy;
  }
  if (error != ERROR_ACCESS_DENIED)
    return RunLock::unavailable;
  HANDLE existing = OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
  error = GetLastError();
  if (existing != nullptr) {
    CloseHandle(existing);
    return RunLock::busy;
  }
  return error == ERROR_ACCESS_DENIED ? RunLock::busy : RunLock::unavailable;
}

} // namespace

// The directory's ACL is not examined on Windows: who may write there is
// the administrator's to set.
bool workingDirectoryWritableByOthers() {
  return false;
}

RunLock lockWorkingDirectory() {
  // A named mutex per directory.
  std::wstring path = canonicalWorkingDirectory();
  if (path.empty())
    return RunLock::unavailable;
  std::uint64_t hash = 14695981039346656037ULL; // FNV-1a over the path
  for (wchar_t c : path) {
    hash ^= static_cast<std::uint16_t>(c);
    hash *= 1099511628211ULL;
  }
  wchar_t id[32];
  std::swprintf(id, sizeof id / sizeof id[0], L"vexoflash-dir-%016llx",
                static_cast<unsigned long long>(hash));
  // The namespace all sessions share; a user who may not create objects
  // there still gets the lock among the runs of the same session.
  RunLock global = createLockObject(std::wstring(L"Global\\") + id);
  if (global != RunLock::unavailable)
    return global;
  return createLockObject(std::wstring(L"Local\\") + id);
}

const char *hostLockName = "Global\\vexoflash";

// One name for the whole system; a run that can neither create nor open
// it (no administrator) could write at the same time as another.
RunLock lockHost(const char **why) {
  std::string name = hostLockName;
  RunLock lock = createLockObject(std::wstring(name.begin(), name.end())); // ASCII
  static char reason[256] = "unknown error";
  DWORD length = lock != RunLock::unavailable
                     ? 0
                     : FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, GetLastError(), 0, reason, sizeof reason, nullptr);
  while (length > 0 && std::strchr("\r\n. ", reason[length - 1]) != nullptr)
    reason[--length] = '\0'; // the message's own full stop and line end
  *why = reason;
  return lock == RunLock::unavailable ? RunLock::unusable : lock;
}

void pauseBeforeRetry() {
  Sleep(100);
}

bool isRegularOrAbsent(const char *name) {
  DWORD attributes = GetFileAttributesA(name);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  // Symbolic links and junctions are reparse points.
  return (attributes &
          (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) == 0;
}

bool prepareReportFile(const char *name) {
  // As cmd's ">" opens it, but never through a link: the link itself is
  // opened, found not to be a plain file, and left alone. The handle is
  // not inherited.
  HANDLE file =
      CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  BY_HANDLE_FILE_INFORMATION info{};
  bool regular =
      GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
  bool emptied = regular && SetEndOfFile(file) && GetFileSize(file, nullptr) == 0;
  return CloseHandle(file) && emptied;
}
