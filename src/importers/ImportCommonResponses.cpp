// Common responses: each output file holds one response set and loads into
// the table named after it, created on first use.
#include <algorithm>
#include <cctype>
#include <set>
#include <stdexcept>

#include "engine/AccessSql.h"
#include "engine/DbConnection.h"
#include "engine/Recordset.h"
#include "importers/FieldDecoding.h"
#include "importers/FileDriver.h"
#include "importers/FileReport.h"
#include "importers/FramedRecords.h"
#include "importers/ImporterText.h"
#include "importers/Importers.h"
#include "importers/ResponsesTable.h"
#include "importers/RowLanding.h"
#include "importers/layouts/ResponsesLayout.h"
#include "support/Conversions.h"
#include "support/ErrorReport.h"
#include "support/ResourceStrings.h"
#include "support/Windows1252.h"

namespace {

namespace layout = layouts::responses;

constexpr const char* kSource = "ImportCommonResponses::CSImportEngine";
// The missing-file line has always carried this source.
constexpr const char* kMissingFileSource = "ImportCommonResponse::CSImportEngine";
constexpr const char* kCrLf = "\r\n";
constexpr int kFunctionKeyF9 = 6;  // stored for key code 999; never compared

const importers::ConflictWording kWording{"Do you wish to KEEP ALL EXISTING responses?",
                                          "Do you wish to overwrite ALL conflicting responses?"};

// Column positions of a responses table (0 is the ID counter).
enum Column { kLine = 1, kAcross, kFunctionKey, kMacro, kAppend, kTitle, kData, kVendor };

// Head, NUL-ended text, then padding up to the stated length; a record starts
// only where a whole head's worth of bytes remains.
const importers::Framing kFraming{
    .headSize = layout::kHeadSize,
    .minRemaining = layout::kHeadSize,
    .body = importers::Framing::Body::NulText,
    .next = importers::Framing::Next::SkipPadding,
};

}  // namespace

namespace importers {

// The table an output file loads into: its name up to the first "."; "TEXT"
// becomes "TEXTA" and "TEXTB" is "TEXTA" too, so the three share one table.
std::string ResponsesTableName(const std::string& fileName) {
  std::string name = fileName.substr(0, fileName.find('.'));
  const std::string lower = support::LowerAscii(name);
  if (lower == "text")
    name += "A";
  else if (lower == "textb")
    name = "TEXTA";
  return name;
}

bool IsTableName(std::string_view name) {
  if (name.empty() || name.size() > kMaxTableName) return false;
  for (char c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (!(std::isalnum(u) && u < 0x80) && c != '_') return false;
  }
  return true;
}

// Where ImportCommonResponses was when a failure ended it: the number is the
// index of its failure line.
enum class ResponsesStage : int {
  Start = 0,
  NextFile,  // kept: the numbers after it are the indexes of failure lines
  TableName,
  OpenTable,
  CreateTable,
  CreatedTable,
  FindFile,
  ReadFile,
  NextRecord,
  DecodeRecord,
  LookUp,
  PlaceRecord,
  AskConflict,
  WriteRow,
  SaveRow,
  RecordDone,
};

bool ImportCommonResponses(ImportSession& session) {
  return Trapped<ResponsesStage>(session, kSource, false, [&](ResponsesStage& stage) {
    session.CloseRecordset();
    if (session.OutputFiles().empty()) throw std::runtime_error("The output-file list is empty.");
    // Tables created by this call are filled without lookups: nothing in them
    // can conflict with what was there before.
    std::set<std::string> createdTables;
    const std::string keyCriteria = ResourceString(res::kResponseKeyCriteria);

    ForEachOutputFile(
        session, session.OutputFiles(), Attempt::Plain, [&](const std::string& entry) {
          stage = ResponsesStage::TableName;
          const std::string table = ResponsesTableName(entry);
          // A file's name is data: it names a table only when it is a plain name.
          if (!IsTableName(table)) {
            FileReport(session, kSource, entry)
                .FileProblem("not imported: '" + table + "' cannot be a table name.");
            return;
          }
          const std::string query = TableQuery(table, res::kResponsesOrder);
          // The file's transaction starts before anything of it is written, the
          // table it may create included: a file lands whole or not at all, and
          // two imports into one database create a table once.
          FileTransaction transaction(session.Connection());
          if (transaction.BeginFailed()) {
            FileReport report(session, kSource, entry);
            ReportBeginFailure(report, transaction);
            return;
          }
          bool created = false;
          stage = ResponsesStage::OpenTable;
          if (session.OpenRecordset(query, true) == 0) {
            stage = ResponsesStage::CreateTable;
            session.WriteToLog("Table '" + table + "' did not appear to exist.", kSource, -1);
            if (session.ExecuteScript(table, ResourceString(res::kCreateResponsesTable))) {
              stage = ResponsesStage::CreatedTable;
              session.WriteToLog("Created table '" + table + "' successfully.", kSource, -1);
              session.ExecuteScript(table, ResourceString(res::kCreateIdIndex));
              created = session.OpenRecordset(query, true) != 0;
            } else {
              session.WriteToLog("Failed to create table '" + table + "'.", kSource, -1);
            }
            // None of the file's records can land: the run must not end as a success.
            if (!created) {
              transaction.Rollback();
              FileReport(session, kSource, entry)
                  .FileProblem("not imported: its table could not be opened.");
              stage = ResponsesStage::FindFile;
              return;
            }
          }

          const std::string path = session.OutputFolder() + entry;
          stage = ResponsesStage::FindFile;
          if (!SourceFileFound(session, kMissingFileSource, path)) return;
          const bool newTable = created || createdTables.count(support::LowerAscii(table)) > 0;
          Recordset& rs = *session.CurrentRecordset();
          const FileResult file = ImportFileRows(
              session, kSource, entry, path,
              {.framing = kFraming,
               .begun = &transaction,
               .reached =
                   [&](FileStep step) {
                     if (step == FileStep::Open) stage = ResponsesStage::ReadFile;
                     if (step == FileStep::NextRecord) stage = ResponsesStage::NextRecord;
                   },
               .land =
                   [&](const Record& record, FileReport& report, const FileTransaction&) {
                     stage = ResponsesStage::DecodeRecord;
                     const std::int16_t line = ShortValue(Slice(record.head, layout::kLine));
                     const std::int16_t across = ShortValue(Slice(record.head, layout::kAcross));
                     const std::int16_t code = ShortValue(Slice(record.head, layout::kKeyCode));
                     const int functionKey = code == layout::kKeyCodeF9
                                                 ? kFunctionKeyF9
                                                 : code - layout::kKeyCodeOffset;
                     const std::int16_t flags = ShortValue(Slice(record.head, layout::kFlags));
                     const std::string title =
                         support::Windows1252ToUtf8(CleanView(Slice(record.head, layout::kTitle)));

                     stage = ResponsesStage::LookUp;
                     LookupRule rule;
                     rule.addWithoutLookup =
                         (rs.Bof() && rs.Eof()) || newTable || session.NoComparisons();
                     rule.alwaysAdd = functionKey == kFunctionKeyF9;
                     if (!rule.addWithoutLookup && !rule.alwaysAdd) {
                       const std::string l = std::to_string(line), a = std::to_string(across),
                                         k = std::to_string(functionKey);
                       rule.criteria = ReplacePlaceholders(keyCriteria, "%d", {l, a, k});
                     }
                     stage = ResponsesStage::PlaceRecord;
                     Landing landing = PlaceRecord(rs, rule);
                     if (landing == Landing::Conflict) {
                       stage = ResponsesStage::AskConflict;
                       const std::string question =
                           "Importing response: '" + title + "'" + kCrLf + kCrLf +
                           "There is an existing response for this function key and field "
                           "combination." +
                           kCrLf + kCrLf + "    Title: '" + rs.Field(kTitle).ToText() + "'" +
                           kCrLf + "    Field: (" + std::to_string(line) + ", " +
                           std::to_string(across) + ")" + kCrLf + "      Key: F" +
                           std::to_string(functionKey + 3) + kCrLf + kCrLf +
                           "Do you wish to overwrite this response?";
                       landing = ResolveConflict(session, question, kWording, report, record);
                     }

                     stage = ResponsesStage::WriteRow;
                     RowWrite row(rs);
                     if (landing == Landing::NewRow || landing == Landing::ExistingRow) {
                       row.Set(kLine, db::Value::Integer(line));
                       row.Set(kAcross, db::Value::Integer(across));
                       row.Set(kFunctionKey, db::Value::Integer(functionKey));
                       row.Set(kMacro, db::Value::Integer(flags & layout::kFlagMacro));
                       row.Set(kAppend, db::Value::Bool((flags & layout::kFlagNoAppend) !=
                                                        layout::kFlagNoAppend));
                       row.Set(kTitle, db::Value::Text(title));
                       row.Set(kData, TextValue(record.body));
                       row.Set(kVendor, db::Value::Bool(true));
                     }
                     stage = ResponsesStage::SaveRow;
                     const bool saved = row.Finish(landing, report, record);
                     stage = ResponsesStage::RecordDone;
                     return saved;
                   }});
          // A table whose creation was rolled back with the file is not new.
          if (file.committed && created) createdTables.insert(support::LowerAscii(table));
        });
    return true;
  });
}

}  // namespace importers
