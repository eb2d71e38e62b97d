// Lenders: one fixed 243-byte record per lender, compared with the table by
// lender ID. The e-mail address and contact note are not in the record; they
// come from the host's lender.ini next to the lender data.
#include <string>
#include <string_view>

#include "engine/AccessSql.h"
#include "engine/CSImportEngine.h"
#include "engine/DbConnection.h"
#include "engine/Recordset.h"
#include "importers/FieldDecoding.h"
#include "importers/FileReport.h"
#include "importers/FramedRecords.h"
#include "importers/ImporterText.h"
#include "importers/LenderInformation.h"
#include "importers/RowLanding.h"
#include "importers/layouts/LenderLayout.h"
#include "startup/ResourceStrings.h"
#include "support/Windows1252.h"
#include "support/modShow.h"
#include "ui/CProgressBar.h"

namespace {

namespace layout = layouts::lender;

constexpr const char* kSource = "ImportLenderInformation::CSImportEngine";
constexpr const char* kCrLf = "\r\n";

constexpr int kQueryPattern = 551;  // SELECT * FROM [%s] ORDER BY %s
constexpr int kTable = 555;         // Lenders
constexpr int kOrder = 556;         // LenderDBID, LenderName
constexpr int kIdCriteria = 573;    // LenderDBID = '%s'
constexpr int kIniSection = 701;    // IP

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
std::int32_t ImportLenderFile(CSImportEngine& engine, const std::string& criteria,
                              importers::LenderConfiguration& contacts, const std::string& entry,
                              const std::string& path, bool tableEmpty) {
  const platform::Context& ctx = engine.Context();
  Recordset& rs = *engine.CurrentRecordset();
  importers::FileReport report(engine, kSource, entry);
  importers::RecordReader reader(ctx.env.OpenForReading(path));
  // One transaction per file, committed on every way out of this function.
  FileTransaction transaction(engine.Connection());
  importers::FramedRecords records(reader, kFraming);
  records.StopWhen(transaction);

  std::int32_t saved = 0;
  importers::Record record;
  while (records.Next(record)) {
    auto text = [&](layouts::Field f) {
      return importers::CleanView(importers::Slice(record.head, f));
    };
    const std::string id = support::Windows1252ToUtf8(text(layout::kLenderId));

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
      row.Set(layout::kNameColumn, importers::TextValue(text(layout::kName)));
      row.Set(layout::kAddress1Column, importers::TextValue(text(layout::kAddress1)));
      row.Set(layout::kAddress2Column, importers::TextValue(text(layout::kAddress2)));
      row.Set(layout::kCityStateZipColumn, importers::TextValue(text(layout::kCityStateZip)));
      row.Set(layout::kPhoneColumn, importers::TextValue(text(layout::kPhone)));
      row.Set(layout::kContactFirstColumn, importers::TextValue(text(layout::kContactFirst)));
      row.Set(layout::kContactLastColumn, importers::TextValue(text(layout::kContactLast)));
      row.Set(layout::kEmptyColumn9, db::Value::Text(""));
      row.Set(layout::kReferenceColumn, importers::TextValue(text(layout::kReference)));
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

std::int32_t CSImportEngine::ImportLenderInformation() {
  return Trapped(kSource, std::int32_t{-1}, [&]() -> std::int32_t {
    CloseRecordset();
    const std::string table = ResourceString(kTable);
    const std::string query =
        importers::ReplacePlaceholders(ResourceString(kQueryPattern), "%s",
                                       {accesssql::EscapeBracketed(table), ResourceString(kOrder)});
    const std::string criteria = ResourceString(kIdCriteria);
    importers::LenderConfiguration contacts(ctx_, source_ + ResourceString(res::kLenderIni),
                                            ResourceString(kIniSection));

    // Rows saved over every file of the call.
    std::int32_t written = 0;
    for (const std::string& entry : outputFiles_) {
      if (DatabaseFailed()) break;
      WriteToLog("Attempting to import file: '" + entry + "'.", "", -1);
      const int opened = OpenRecordset(query, true);
      const std::string path = outputFolder_ + entry;
      if (opened == 0) {
        WriteToLog("Could not open table '" + table + "'", kSource, -1);
        // None of the file's records can land: the run must not end as a success.
        importers::FileReport(*this, kSource, entry)
            .FileProblem("not imported: its table could not be opened.");
      } else if (!modShow::Exists(ctx_, path)) {
        WriteToLog("Source file was NOT found during import process.", kSource, -1);
      } else {
        written += ImportLenderFile(*this, criteria, contacts, entry, path, opened == 1);
      }

      AdvanceProgress();
    }
    return written;
  });
}
