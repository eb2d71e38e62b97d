// Where a record's row goes and how it is saved: the one decision and write
// sequence that every comparing importer shares.
//
//   Landing l = PlaceRecord(rs, rule);            // AddNew, or a matching row
//   if (l == Landing::Conflict) l = ResolveConflict(engine, question, wording, report, record);
//   RowWrite row(rs); row.Set(...); ...; row.Finish(l, report, record);
#pragma once

#include <string>
#include <string_view>

#include "engine/Recordset.h"
#include "importers/FileReport.h"
#include "importers/FramedRecords.h"

class ImportSession;

namespace importers {

enum class Landing {
  NewRow,        // AddNew was called: the record becomes a new row
  Conflict,      // a row with the record's key exists and is current
  ExistingRow,   // the conflict was answered "overwrite": the current row is written
  Kept,          // the conflict was answered "keep": nothing is written
  Refused,       // the record set would not start a new row (error() says why)
  LookupFailed,  // the search for an existing row failed (error() says why)
};

struct LookupRule {
  // Add without looking: the record set is empty, the table was created for
  // this import, or comparisons are switched off.
  bool addWithoutLookup = false;
  // A record that is always added, never compared.
  bool alwaysAdd = false;
  // The filter naming the record's key (used only when looking).
  std::string criteria;
};

// The two "to all" questions of an importer's conflict boxes.
struct ConflictWording {
  std::string_view keepAll;
  std::string_view overwriteAll;
};

// Positions `rs` for a record: clears the filter and filters by the key when
// the rule says to look; NewRow after AddNew when nothing matched, Conflict
// with the first match current otherwise, LookupFailed when the search could
// not be made (adding the record then could duplicate an existing row).
Landing PlaceRecord(Recordset& rs, const LookupRule& rule);

// Answers a conflict through the engine's run-wide answers and its question
// boxes: ExistingRow (overwrite) or Kept. A question nobody could answer is
// logged against the record.
Landing ResolveConflict(ImportSession& engine, const std::string& question,
                        const ConflictWording& wording, FileReport& report, const Record& record);

// The values of one row, written into the placed row and saved. A refused
// value does not stop the others (the row is saved without it); the record
// is then reported rejected with the first reason.
class RowWrite {
 public:
  explicit RowWrite(Recordset& rs) : rs_(rs) {}
  void Set(int position, db::Value&& value);
  void Set(std::string_view name, db::Value value);
  // Sets a text field from the host's 8-bit text, as Set(TextValue(bytes))
  // does, written straight into the row where the column holds text.
  void SetText(int position, std::string_view bytes);
  // Saves the row (unless kept or refused) and counts how the record landed.
  // True when a row was saved. A new row the record set holds back is saved
  // and counted later (WriteHeldRows): false for now. `tag` reaches the
  // report's `settled` with the outcome, whichever way the row went.
  bool Finish(Landing landing, FileReport& report, const Record& record, std::string_view tag = {});

 private:
  void Note(std::string_view what);

  Recordset& rs_;
  std::string problem_;
};

// Writes the rows `rs` holds back and reports each of their records as
// RowWrite::Finish reports a row it saves itself, in the order held.
void WriteHeldRows(Recordset& rs, FileReport& report);

}  // namespace importers
