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
    std::int64_t written = 0;
    ForEachOutputFile(
        session, session.OutputFiles(), Attempt::Plain, [&](const std::string& entry) {
          // Begun before the table is read, so that what the file looks up is
          // what its rows are committed against (see DbConnection::HoldTable).
          FileTransaction transaction(session.Connection());
          const int opened = OpenTableForFile(session, kSource, entry, query, table);
          const std::string path = session.OutputFolder() + entry;
          if (opened == 0 || !SourceFileFound(session, kSource, path)) return;
          Recordset& rs = *session.CurrentRecordset();
          // Emptiness is tracked here rather than read from the record set: after
          // a refused row the filtered view is empty too, and the next record
          // must still be compared.
          bool tableEmpty = opened == 1;
          written +=
              ImportFileRows(
                  session, kSource, entry, path,
                  {.framing = kFraming,
                   .begun = &transaction,
                   .land =
                       [&](const Record& record, FileReport& report, const FileTransaction&) {
                         const std::string id = support::Windows1252ToUtf8(
                             CleanView(Slice(record.head, layout::kLenderId)));
                         auto text = [&](layouts::Field f) { return TextField(record.head, f); };

                         LookupRule rule;
                         rule.addWithoutLookup = session.NoComparisons() || tableEmpty;
                         if (!rule.addWithoutLookup)
                           rule.criteria =
                               ReplacePlaceholders(criteria, "%s", {DoubleApostrophes(id)});
                         Landing landing = PlaceRecord(rs, rule);
                         if (landing == Landing::Conflict)
                           landing =
                               ResolveConflict(session, Question(id, rs), kWording, report, record);

                         RowWrite row(rs);
                         if (landing == Landing::NewRow || landing == Landing::ExistingRow) {
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
                           // Looked up for every written row; the index sees a change to the
                           // file within 25 ms, and a failed read of it is named in the log.
                           const LenderContact contact = SplitLenderContactUtf8(contacts.Value(id));
                           if (const std::string failure = contacts.TakeFailure(); !failure.empty())
                             session.WriteToLog("The lender configuration file " + failure, kSource,
                                                -1);
                           row.Set(layout::kEmailColumn, db::Value::Text(contact.email));
                           row.Set(layout::kNoteColumn, db::Value::Text(contact.note));
                         }
                         if (!row.Finish(landing, report, record)) return false;
                         tableEmpty = false;
                         return true;
                       }})
                  .saved;
        });
    return static_cast<std::int32_t>(written);
  });
}

}  // namespace importers
