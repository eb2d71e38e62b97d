// Lenders: one fixed 243-byte record per lender, compared with the table by
// lender ID. The e-mail address and contact note are not in the record; they
// come from the host's lender.ini next to the lender data.
#include <string>
#include <string_view>

#include "engine/DbConnection.h"
#include "engine/Recordset.h"
#include "importers/FieldDecoding.h"
#include "importers/FileDriver.h"
#include "importers/FileReport.h"
#include "importers/FramedRecords.h"
#include "importers/ImporterText.h"
#include "importers/Importers.h"
#include "importers/LenderInformation.h"
#include "importers/RowLanding.h"
#include "importers/layouts/LenderLayout.h"
#include "support/ErrorReport.h"
#include "support/ResourceStrings.h"
#include "support/Windows1252.h"

namespace {

namespace layout = layouts::lender;

constexpr const char* kSource = "ImportLenderInformation::CSImportEngine";
constexpr const char* kCrLf = "\r\n";

// The length prefix is read and ignored: every record is one lender record,
// and one starts only while a whole record's worth of bytes remains.
const importers::Framing kFraming{
    .headSize = layout::kRecordSize,
    .minRemaining = layout::kRecordSize,
};

std::string Question(const std::string& id, const Recordset& existing) {
  using layout::kContactFirstColumn, layout::kContactLastColumn, layout::kIdColumn,
      layout::kNameColumn;
  return "Importing lender with ID: '" + id + "'" + kCrLf + kCrLf +
         "There is an existing lender which conflicts with this one:" + kCrLf + kCrLf +
         "    ID: '" + existing.Field(kIdColumn).ToText() + "'" + kCrLf + "    Name: '" +
         existing.Field(kNameColumn).ToText() + "'" + kCrLf + "    Contact: '" +
         existing.Field(kContactFirstColumn).ToText() + " " +
         existing.Field(kContactLastColumn).ToText() + "'" + kCrLf + kCrLf + kCrLf +
         "Do you wish to overwrite the information for this lender?";
}

const importers::ConflictWording kWording{
    "Do you wish to KEEP ALL EXISTING report data?",
    "Do you wish to overwrite ALL conflicting report information?\r\nNOTE: This DOES NOT affect "
    "your actual reports."};

// Reads one output file into the open Lenders record set; the rows saved.
std::int32_t ImportLenderFile(ImportSession& engine, const std::string& criteria,
                              importers::LenderConfiguration& contacts, const std::string& entry,
                              const std::string& path, bool tableEmpty) {
  const platform::Context& ctx = engine.Context();
  Recordset& rs = *engine.CurrentRecordset();
  importers::FileReport report(engine, kSource, entry);
  importers::RecordReader reader(ctx.env, path);
  // One transaction per file, committed on every way out of this function.
  FileTransaction transaction(engine.Connection());
  importers::FramedRecords records(reader, kFraming);
  records.StopWhen(transaction);

  std::int32_t saved = 0;
  importers::Record record;
  while (records.Next(record)) {
    const std::string id = support::Windows1252ToUtf8(
        importers::CleanView(importers::Slice(record.head, layout::kLenderId)));
    auto text = [&](layouts::Field f) { return importers::TextField(record.head, f); };

    // Emptiness is tracked here rather than read from the record set: after a
    // refused row the filtered view is empty too, and the next record must
    // still be compared.
    importers::LookupRule rule;
    rule.addWithoutLookup = engine.NoComparisons() || tableEmpty;
    if (!rule.addWithoutLookup)
      rule.criteria =
          importers::ReplacePlaceholders(criteria, "%s", {importers::DoubleApostrophes(id)});
    importers::Landing landing = importers::PlaceRecord(rs, rule);
    if (landing == importers::Landing::Conflict)
      landing = importers::ResolveConflict(engine, Question(id, rs), kWording, report, record);

    importers::RowWrite row(rs);
    if (landing == importers::Landing::NewRow || landing == importers::Landing::ExistingRow) {
      row.Set(layout::kIdColumn, db::Value::Text(id));
      row.Set(layout::kNameColumn, text(layout::kName));
      row.Set(layout::kAddress1Column, text(layout::kAddress1));
      row.Set(layout::kAddress2Column, text(layout::kAddress2));
      row.Set(layout::kCityStateZipColumn, text(layout::kCityStateZip));
      row.Set(layout::kPhoneColumn, text(layout::kPhone));
      row.Set(layout::kContactFirstColumn, text(layout::kContactFirst));
      row.Set(layout::kContactLastColumn, text(layout::kContactLast));
      row.Set(layout::kEmptyColumn9, db::Value::Text(""));
      row.Set(layout::kReferenceColumn, text(layout::kReference));
      row.Set(layout::kEmptyColumn11, db::Value::Text(""));
      // Read for every written row, so a change to the file shows at once;
      // an unchanged file is answered from the parse already made.
      const importers::LenderContact contact =
          importers::SplitLenderContactUtf8(contacts.Value(id));
      row.Set(layout::kEmailColumn, db::Value::Text(contact.email));
      row.Set(layout::kNoteColumn, db::Value::Text(contact.note));
    }
    if (row.Finish(landing, report, record)) {
      ++saved;
      tableEmpty = false;
    }
  }
  importers::FinishFile(report, records, reader, transaction);
  return saved;
}

}  // namespace

namespace importers {

std::int32_t ImportLenderInformation(ImportSession& session) {
  return Trapped<NoStage>(session, kSource, std::int32_t{-1}, [&](NoStage&) -> std::int32_t {
    session.CloseRecordset();
    const std::string table = ResourceString(res::kLendersTable);
    const std::string query = TableQuery(table, res::kLendersOrder);
    const std::string criteria = ResourceString(res::kLenderIdCriteria);
    LenderConfiguration contacts(session.Context(),
                                 session.Source() + ResourceString(res::kLenderIni),
                                 ResourceString(res::kLenderIniSection));

    // Rows saved over every file of the call.
    std::int32_t written = 0;
    for (const std::string& entry : session.OutputFiles()) {
      if (session.DatabaseFailed()) break;
      session.WriteToLog("Attempting to import file: '" + entry + "'.", "", -1);
      const int opened = OpenTableForFile(session, kSource, entry, query, table);
      const std::string path = session.OutputFolder() + entry;
      if (opened != 0 && SourceFileFound(session, kSource, path))
        written += ImportLenderFile(session, criteria, contacts, entry, path, opened == 1);

      session.AdvanceProgress();
    }
    return written;
  });
}

}  // namespace importers
