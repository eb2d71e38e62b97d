// Neighborhoods: every output file holds the neighborhoods of one report form;
// a record's fixed texts go to fixed columns, the values of its field text to
// the columns that the host's conversion file names for that form. Rows are
// compared by name, and each new neighborhood also gets a row in the
// secondary table.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/AccessSql.h"
#include "engine/DbConnection.h"
#include "engine/Recordset.h"
#include "importers/FieldDecoding.h"
#include "importers/FileDriver.h"
#include "importers/FileReport.h"
#include "importers/FramedRecords.h"
#include "importers/ImporterText.h"
#include "importers/Importers.h"
#include "importers/NeighborhoodForms.h"
#include "importers/RowLanding.h"
#include "importers/layouts/NeighborhoodLayout.h"
#include "platform/db/Backend.h"
#include "support/Conversions.h"
#include "support/ErrorReport.h"
#include "support/ResourceStrings.h"
#include "support/Windows1252.h"
#include "support/modFileIO.h"
#include "support/modINIFile.h"

namespace {

namespace layout = layouts::neighborhood;

constexpr const char* kSource = "ImportNeighborhoodInformation::CSImportEngine";
constexpr const char* kCrLf = "\r\n";

// The 176-byte head, then as many bytes of field text as its last field says;
// the length prefix is not used to find the next record.
const importers::Framing kFraming{
    .headSize = layout::kHeadSize,
    .minRemaining = layout::kHeadSize,
    .body = importers::Framing::Body::CountedText,
    .countField = layout::kFieldTextLength,
};

std::string WithBackslash(std::string folder) {
  if (!support::EndsWith(folder, "\\")) folder += '\\';
  return folder;
}

// The secondary row of a new neighborhood. The host's statement quotes the
// name as a literal; here the name is a bound parameter instead, so no name
// (apostrophes, "%s", anything) can change the statement.
class SecondaryRows {
 public:
  SecondaryRows(DbConnection& connection, const std::string& nameColumn) {
    std::string sql =
        importers::ReplacePlaceholders(ResourceString(res::kInsertPattern), "'%s'", {"?"});
    sql = importers::ReplacePlaceholders(
        sql, "%s",
        {ResourceString(res::kSecondaryNeighborhoodsTable), accesssql::Bracket(nameColumn)});
    if (db::Backend* backend = connection.backend())
      statement_ = backend->Prepare(connection.Translate(sql), error_);
    else
      error_ = "The connection is not open.";
  }

  // False with the reason in `error`.
  bool Add(const std::string& name, std::string& error) {
    if (!statement_) {
      error = error_;
      return false;
    }
    // Bound text is not copied: it must outlive the Reset below.
    const db::Value value = db::Value::Text(name);
    bool added = statement_->Bind(1, value) && statement_->Step() == db::StepResult::Done;
    if (!added) error = statement_->error();
    // Releases the statement, so the record set's own statements can run.
    statement_->Reset();
    return added;
  }

 private:
  std::unique_ptr<db::Statement> statement_;
  std::string error_;
};

// The conflict box of a neighborhood: the incoming name and the existing row.
std::string ConflictQuestion(const std::string& name, const Recordset& rs) {
  return "Importing neighborhood with ID: '" + name + "'" + kCrLf + kCrLf +
         "There is an existing neighborhood which conflicts with this one:" + kCrLf + kCrLf +
         "ID: '" + rs.Field(layout::kNameColumn).ToText() + "'" + kCrLf + "Description: '" +
         rs.Field(layout::kDescriptionColumn).ToText() + "'" + kCrLf + kCrLf +
         "Do you wish to overwrite the information for this neighborhood?";
}

constexpr importers::ConflictWording kWording{
    "Do you wish to KEEP ALL EXISTING report data?",
    "Do you wish to overwrite ALL conflicting report information?\r\n"
    "NOTE: This DOES NOT affect your actual reports."};

}  // namespace

namespace importers {

std::int32_t ImportNeighborhoodInformation(ImportSession& session) {
  return Trapped<NoStage>(session, kSource, std::int32_t{-1}, [&](NoStage&) -> std::int32_t {
    const platform::Context& ctx = session.Context();
    session.CloseRecordset();
    if (session.AdditionalFile().empty()) {
      session.WriteToLog("Additional file was blank but is required by this operation.", kSource,
                         -1);
      return -1;
    }
    const std::string appDir =
        modINIFile::GetINIString(ctx, ResourceString(res::kDirectoriesSection),
                                 ResourceString(res::kAppDirKey), "", session.AdditionalFile());
    const std::string conversionFile = WithBackslash(appDir) +
                                       ResourceString(res::kNeighAddonFolder) +
                                       ResourceString(res::kNeighTagsIni);
    if (!modFileIO::FileExists(ctx, conversionFile)) {
      session.WriteToLog("Neighborhood conversion INI file '" + conversionFile + "' DID NOT exist.",
                         kSource, -1);
      return -1;
    }

    const std::string table = ResourceString(res::kNeighborhoodsTable);
    const std::string query = TableQuery(table, res::kNeighborhoodsOrder);
    std::int64_t rowsSaved = 0;
    std::unique_ptr<SecondaryRows> secondary;  // prepared on the first new row

    ForEachOutputFile(
        session, session.OutputFiles(), Attempt::Plain, [&](const std::string& entry) {
          const std::optional<std::string> formCode = TranslateFormCode(GetFormName(entry));
          if (!formCode) {
            // One misnamed file must not cost the files after it.
            FileReport(session, kSource, entry)
                .FileProblem(
                    "its name gives no neighborhood form code (it must read neigh<form "
                    "code>.<extension>); the file was skipped.");
            return;
          }
          // Begun before the table is read (see DbConnection::HoldTable).
          FileTransaction fileTransaction(session.Connection());
          if (OpenTableForFile(session, kSource, entry, query, table) == 0) return;
          const std::string path = session.OutputFolder() + entry;
          if (!SourceFileFound(session, kSource, path)) return;
          Recordset& rs = *session.CurrentRecordset();
          const FormMap formMap = INISectionToCollection(ctx, conversionFile, *formCode);
          const std::vector<std::string> tagList = StringToCollection(
              modINIFile::GetINIString(ctx, ResourceString(res::kNeighborhoodFormListSection),
                                       *formCode, "", conversionFile),
              layout::kTagListSeparator);
          // The column of each tag, by its place in the list; -1 leaves the
          // value unwritten (no map entry, or no such column in the table).
          std::vector<int> tagColumns;
          for (const std::string& tag : tagList) {
            const std::optional<std::string> column =
                formMap.Find(std::string_view(tag).substr(0, tag.find(layout::kExtraValueMark)));
            tagColumns.push_back(column ? rs.FieldIndex(*column) : -1);
          }

          rowsSaved +=
              ImportFileRows(
                  session, kSource, entry, path,
                  {.framing = kFraming,
                   .begun = &fileTransaction,
                   .land =
                       [&](const Record& record, FileReport& report,
                           const FileTransaction& transaction) {
                         const std::string name = support::Windows1252ToUtf8(
                             CleanView(Slice(record.head, layout::kName)));

                         LookupRule rule;
                         rule.addWithoutLookup = session.NoComparisons() || (rs.Bof() && rs.Eof());
                         if (!rule.addWithoutLookup)
                           rule.criteria =
                               ReplacePlaceholders(ResourceString(res::kNeighborhoodNameCriteria),
                                                   "%s", {DoubleApostrophes(name)});
                         Landing landing = PlaceRecord(rs, rule);
                         if (landing == Landing::Conflict)
                           landing = ResolveConflict(session, ConflictQuestion(name, rs), kWording,
                                                     report, record);

                         RowWrite row(rs);
                         if (landing == Landing::NewRow || landing == Landing::ExistingRow) {
                           row.Set(layout::kNameColumn, db::Value::Text(name));
                           row.Set(layout::kCodeColumn, TextField(record.head, layout::kCode));
                           row.Set(layout::kAreaColumn, TextField(record.head, layout::kArea));
                           row.Set(layout::kDescriptionColumn,
                                   TextField(record.head, layout::kDescription));
                           row.Set(layout::kZoneColumn, TextField(record.head, layout::kZone));
                           if (tagList.empty()) {
                             // The fixed columns are saved all the same.
                             session.WriteToLog("Form map collection was empty.", kSource, -1);
                           } else {
                             const auto values = WalkFieldText(record.body, tagList);
                             for (std::size_t i = 0; i < values.size(); ++i)
                               if (tagColumns[i] >= 0)
                                 row.Set(tagColumns[i], TextValue(values[i].second));
                           }
                         }
                         if (!row.Finish(landing, report, record)) return false;
                         if (landing != Landing::NewRow) return true;
                         if (!secondary)
                           secondary = std::make_unique<SecondaryRows>(
                               *session.Connection(), rs.FieldName(layout::kNameColumn));
                         std::string why;
                         if (!secondary->Add(name, why) && !transaction.Stopped()) {
                           session.WriteToLog(
                               "Could not create additional record in secondary neighborhood "
                               "table.",
                               kSource, -1);
                           report.FileProblem("record " + std::to_string(record.number) +
                                              " at byte " + std::to_string(record.offset) +
                                              " was added, but its row in " +
                                              ResourceString(res::kSecondaryNeighborhoodsTable) +
                                              " was not: " + why);
                         }
                         return true;
                       }})
                  .saved;
        });
    return static_cast<std::int32_t>(rowsSaved);
  });
}

}  // namespace importers
