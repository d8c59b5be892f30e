#include "app/audit.h"

#include <cstdio>
#include <cstring>

AuditWriter auditWriter = writeToSystemLog;

namespace {

// Printable ASCII without the bytes that quoting and the key=value form
// use: such a value stands as it is.
bool isPlainValue(const std::string &value) {
  if (value.empty())
    return false;
  for (char c : value) {
    auto b = static_cast<unsigned char>(c);
    if (b < 0x21 || b > 0x7E || c == '"' || c == '\\' || c == '=')
      return false;
  }
  return true;
}

void appendValue(std::string &text, const std::string &value) {
  if (isPlainValue(value)) {
    text += value;
    return;
  }
  text += '"';
  for (char c : value) {
    auto b = static_cast<unsigned char>(c);
    if (c == '=') {
      text += "\\x3d"; // key=value text stands only where the record has the key
    } else if (c == '"' || c == '\\') {
      text += '\\';
      text += c;
    } else if (b < 0x20 || b > 0x7E) {
      char hex[5];
      (void)std::snprintf(hex, sizeof hex, "\\x%02X", b);
      text += hex;
    } else {
      text += c;
    }
  }
  text += '"';
}

void appendPair(std::string &text, const char *key, const std::string &value) {
  if (!text.empty())
    text += ' ';
  text += key;
  text += '=';
  appendValue(text, value);
}

} // namespace

std::string formatAuditRecord(const AuditRecord &record, const AuditCaller &caller) {
  std::string text;
  appendPair(text, "outcome", record.outcome != nullptr ? record.outcome : "");
  if (record.reason != nullptr)
    appendPair(text, "reason", record.reason);
  appendPair(text, "exit", std::to_string(record.exitCode));
  appendPair(text, "address", record.address != nullptr ? record.address : "");
  if (record.running == '1' || record.running == '2') {
    appendPair(text, "running", std::string(1, record.running));
    appendPair(text, "level", record.level != nullptr ? record.level : "");
  }
  if (record.image != nullptr) {
    appendPair(text, "image", record.image);
    appendPair(text, "inhibit", record.inhibit != nullptr ? record.inhibit : "");
    appendPair(text, "status", std::to_string(record.status));
  }
  if (record.advice != nullptr)
    appendPair(text, "advice", record.advice);
  appendPair(text, "uid", caller.uid);
  if (!caller.user.empty())
    appendPair(text, "user", caller.user);
  if (!caller.login.empty())
    appendPair(text, "login", caller.login);
  appendPair(text, "dir", caller.dir);
  return text;
}

AuditSeverity auditSeverity(const AuditRecord &record) {
  const char *outcome = record.outcome != nullptr ? record.outcome : "";
  if (std::strcmp(outcome, "updated") == 0 || std::strcmp(outcome, "up-to-date") == 0)
    return AuditSeverity::notice;
  if (std::strcmp(outcome, "refused") == 0)
    return AuditSeverity::warning;
  return AuditSeverity::error;
}

void writeAuditRecord(const AuditRecord &record) {
  auditWriter(auditSeverity(record), formatAuditRecord(record, auditCaller()));
}
