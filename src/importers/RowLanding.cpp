#include "importers/RowLanding.h"

#include "engine/ImportSession.h"
#include "importers/ImporterText.h"
#include "support/Windows1252.h"

namespace importers {

Landing PlaceRecord(Recordset& rs, const LookupRule& rule) {
  if (!rule.addWithoutLookup && !rule.alwaysAdd) {
    rs.ClearFilter();
    if (!rs.SetFilter(rule.criteria)) return Landing::LookupFailed;
    if (!(rs.Bof() && rs.Eof())) return Landing::Conflict;
  }
  return rs.AddNew() ? Landing::NewRow : Landing::Refused;
}

Landing ResolveConflict(ImportSession& engine, const std::string& question,
                        const ConflictWording& wording, FileReport& report, const Record& record) {
  const ConflictAnswer answer = engine.AskConflict(question, wording.keepAll, wording.overwriteAll);
  if (answer.unanswered) report.KeptUnanswered(record);
  return answer.overwrite ? Landing::ExistingRow : Landing::Kept;
}

void RowWrite::Note(std::string_view what) {
  if (problem_.empty()) problem_ = std::string(what) + ": " + rs_.error();
}

void RowWrite::Set(int position, db::Value&& value) {
  // Only the first refusal is reported: later ones build no message.
  if (!rs_.SetField(position, std::move(value)) && problem_.empty())
    Note("column " + std::to_string(position) + " refused its value");
}

void RowWrite::Set(std::string_view name, db::Value value) {
  if (!rs_.SetField(name, std::move(value)) && problem_.empty())
    Note("column '" + std::string(name) + "' refused its value");
}

void RowWrite::SetText(int position, std::string_view bytes) {
  if (std::string* text = rs_.TextFieldToFill(position))
    support::AppendWindows1252AsUtf8(bytes, *text);
  else
    Set(position, TextValue(bytes));
}

namespace {

// Counts a record whose row was written (`refusal` empty) or refused.
bool Landed(Recordset& rs, FileReport& report, const Record& record, bool existing,
            const std::string& problem, const std::string& refusal) {
  if (!refusal.empty()) {
    // Once the database ended the file's transaction or failed as a whole, a
    // failure is the file's, not this record's: the file is rolled back and
    // reported with one line (FinishFile), not one line per record.
    if (!rs.Connection().Broken())
      report.Rejected(record, "the database refused the row: " + refusal);
    return false;
  }
  if (record.cutShort)
    report.StoredIncomplete(record, existing);
  else if (!problem.empty())
    report.Rejected(record, problem + "; the row was saved without it");
  else if (existing)
    report.Overwritten();
  else
    report.Added();
  return true;
}

}  // namespace

bool RowWrite::Finish(Landing landing, FileReport& report, const Record& record,
                      std::string_view tag) {
  if (landing == Landing::NewRow && rs_.Hold()) {
    Record kept = record;
    kept.head = kept.body = {};
    report.held().push_back({kept, std::move(problem_), std::string(tag)});
    if (rs_.HeldRows() >= rs_.RowsPerStatement()) WriteHeldRows(rs_, report);
    return false;
  }
  // Rows held before this one are reported before it.
  if (!report.held().empty()) WriteHeldRows(rs_, report);
  report.Read(record);
  auto rejected = [&](const std::string& reason) {
    if (!rs_.Connection().Broken()) report.Rejected(record, reason);
  };
  bool saved = false;
  switch (landing) {
    case Landing::Kept:
      report.Kept();
      break;
    case Landing::Refused:
    case Landing::Conflict:  // never written without an answer
      rejected("the database would not start a new row: " + rs_.error());
      break;
    case Landing::LookupFailed:
      rejected("looking for its existing row failed: " + rs_.error());
      break;
    case Landing::NewRow:
    case Landing::ExistingRow: {
      const bool written = rs_.Update();
      const std::string refusal = written ? std::string() : rs_.error();
      if (!written) rs_.CancelUpdate();
      saved = Landed(rs_, report, record, landing == Landing::ExistingRow, problem_, refusal);
      break;
    }
  }
  if (report.settled) report.settled(tag, saved);
  return saved;
}

void WriteHeldRows(Recordset& rs, FileReport& report) {
  std::vector<std::string> outcomes;
  rs.WriteHeld(outcomes);
  std::vector<FileReport::HeldRecord> held;
  held.swap(report.held());
  for (std::size_t i = 0; i < held.size(); ++i) {
    const FileReport::HeldRecord& h = held[i];
    report.Read(h.record);
    // A row the record set lost track of (it was closed) was not written.
    const std::string refusal =
        i < outcomes.size() ? outcomes[i] : std::string("the row was never written");
    const bool saved = Landed(rs, report, h.record, false, h.problem, refusal);
    if (saved) ++report.heldSaved;
    if (report.settled) report.settled(h.tag, saved);
  }
  held.clear();
  held.swap(report.held());  // its storage serves the next rows
}

}  // namespace importers
