#include "importers/RowLanding.h"

#include "engine/ImportSession.h"

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
  if (!rs_.SetField(position, std::move(value)))
    Note("column " + std::to_string(position) + " refused its value");
}

void RowWrite::Set(std::string_view name, db::Value value) {
  if (!rs_.SetField(name, std::move(value)))
    Note("column '" + std::string(name) + "' refused its value");
}

bool RowWrite::Finish(Landing landing, FileReport& report, const Record& record) {
  report.Read(record);
  // Once the database ended the file's transaction or failed as a whole, a
  // failure is the file's, not this record's: the file is rolled back and
  // reported with one line (FinishFile), not one line per record.
  auto rejected = [&](const std::string& reason) {
    if (!rs_.Connection().Broken()) report.Rejected(record, reason);
  };
  switch (landing) {
    case Landing::Kept:
      report.Kept();
      return false;
    case Landing::Refused:
    case Landing::Conflict:  // never written without an answer
      rejected("the database would not start a new row: " + rs_.error());
      return false;
    case Landing::LookupFailed:
      rejected("looking for its existing row failed: " + rs_.error());
      return false;
    case Landing::NewRow:
    case Landing::ExistingRow:
      break;
  }
  if (!rs_.Update()) {
    const std::string reason = "the database refused the row: " + rs_.error();
    rs_.CancelUpdate();
    rejected(reason);
    return false;
  }
  Saved(landing, report, record, problem_);
  return true;
}

void RowWrite::Saved(Landing landing, FileReport& report, const Record& record,
                     const std::string& problem) {
  if (record.cutShort)
    report.StoredIncomplete(record, landing == Landing::ExistingRow);
  else if (!problem.empty())
    report.Rejected(record, problem + "; the row was saved without it");
  else if (landing == Landing::NewRow)
    report.Added();
  else
    report.Overwritten();
}

}  // namespace importers
