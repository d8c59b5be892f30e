// How a run ends, decided once and carried as it is into the audit record:
// each outcome's name there, its exit code and the record's severity.
#pragma once

#include <iterator>

// A command line too short for a run: the usage text, and no record.
inline constexpr int usageExit = 111;

enum class AuditSeverity { notice, warning, error };

enum class Outcome { updated, upToDate, failed, wrongSilicon, notCompleted, notFound, refused };

struct OutcomeRow {
  const char *name; // in the audit record
  int exitCode;     // as a calling script reads it
  AuditSeverity severity;
};

// The rows, in the order of Outcome.
inline constexpr OutcomeRow outcomeRows[] = {
    {"updated", 0, AuditSeverity::notice},          // the image was written
    {"up-to-date", 0, AuditSeverity::notice},       // the slot to write holds that level already
    {"failed", 2, AuditSeverity::error},            // the device was found, writing failed
    {"failed", 1, AuditSeverity::error},            // the image is not for the device's silicon
    {"not-completed", 1, AuditSeverity::error},     // stopped, or a status not the tool's own
    {"not-found", 171, AuditSeverity::error},       // no device, or no image found
    {"refused", usageExit, AuditSeverity::warning}, // refused before any tool ran
};
static_assert(std::size(outcomeRows) == static_cast<std::size_t>(Outcome::refused) + 1);

constexpr const OutcomeRow &outcomeRow(Outcome outcome) {
  return outcomeRows[static_cast<std::size_t>(outcome)];
}
