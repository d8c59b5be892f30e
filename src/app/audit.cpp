// The audit record's text, and its one write per run.
#include "app/audit.h"

#include <cstdio>

AuditWriter auditWriter = writeToSystemLog;

namespace {

// A value of printable ASCII, without a space nor the bytes that quoting
// and the key=value form use, stands as it is; any other is quoted, with
// those bytes escaped.
void appendValue(std::string &text, const std::string &value) {
  std::string quoted = "\"";
  for (char c : value) {
    auto b = static_cast<unsigned char>(c);
    if (c == '=') {
      quoted += "\\x3d"; // key=value text stands only where the record has the key
    } else if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (b < 0x20 || b > 0x7E) {
      char hex[5];
      (void)std::snprintf(hex, sizeof hex, "\\x%02X", b);
      quoted += hex;
    } else {
      quoted += c;
    }
  }
  // Nothing escaped (which would make it longer) and no space in it.
  bool plain =
      !value.empty() && quoted.size() == value.size() + 1 && value.find(' ') == std::string::npos;
  text += plain ? value : quoted + '"';
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
  OutcomeRow outcome = outcomeRow(record.outcome);
  appendPair(text, "outcome", outcome.name);
  if (const char *reason = record.reason != nullptr ? record.reason : record.flash.reason)
    appendPair(text, "reason", reason);
  appendPair(text, "exit", std::to_string(outcome.exitCode));
  appendPair(text, "address", record.address != nullptr ? record.address : "");
  if (record.running == '1' || record.running == '2') {
    appendPair(text, "running", std::string(1, record.running));
    appendPair(text, "level", record.level != nullptr ? record.level : "");
  }
  if (record.image != nullptr) {
    appendPair(text, "image", record.image);
    appendPair(text, "inhibit", record.flash.inhibit != nullptr ? record.flash.inhibit : "");
    appendPair(text, "status", std::to_string(record.flash.status));
  }
  if (record.flash.advice != nullptr)
    appendPair(text, "advice", record.flash.advice);
  appendPair(text, "uid", caller.uid);
  if (!caller.user.empty())
    appendPair(text, "user", caller.user);
  if (!caller.login.empty())
    appendPair(text, "login", caller.login);
  appendPair(text, "dir", caller.dir);
  return text;
}

void writeAuditRecord(const AuditRecord &record) {
  auditWriter(outcomeRow(record.outcome).severity, formatAuditRecord(record, auditCaller()));
}
