// Comparable sales. Main records (files whose name has no ".cp2") become new
// ZazOzurs rows through the record set; supplement records (".cp2" files)
// then fill further columns of the rows whose WCID a main record of this
// import carried, or add rows of their own, through two prepared statements.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <iterator>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/AccessSql.h"
#include "engine/DbConnection.h"
#include "engine/Recordset.h"
#include "importers/ComparablesWcidSet.h"
#include "importers/FieldDecoding.h"
#include "importers/FileDriver.h"
#include "importers/FileReport.h"
#include "importers/FramedRecords.h"
#include "importers/ImporterText.h"
#include "importers/Importers.h"
#include "importers/RowLanding.h"
#include "importers/layouts/ComparablesLayout.h"
#include "importers/layouts/SupplementLayout.h"
#include "support/Conversions.h"
#include "support/ErrorReport.h"
#include "support/ResourceStrings.h"

namespace {

namespace comps = layouts::comparables;
namespace supp = layouts::supplement;

constexpr const char* kSource = "ImportZazOzurs::CSImportEngine";

constexpr int kNameCount = static_cast<int>(std::size(supp::kNamePositions));

// Both kinds read a whole fixed-size record after each length prefix, then
// continue at the record start plus the stated length.
const importers::Framing kMainFraming{
    .headSize = comps::kRecordSize,
    .minRemaining = 1,
    .next = importers::Framing::Next::StartPlusLength,
};
const importers::Framing kSupplementFraming{
    .headSize = supp::kRecordSize,
    .minRemaining = 1,
    .next = importers::Framing::Next::StartPlusLength,
};

// A main-record field as the value its column receives.
db::Value MainValue(std::string_view head, layouts::Field field) {
  const std::string_view bytes = importers::Slice(head, field);
  switch (field.kind) {
    case layouts::FieldKind::Int16:
      return db::Value::Integer(importers::ShortValue(bytes));
    case layouts::FieldKind::Int32:
      return db::Value::Integer(importers::LongValue(bytes));
    case layouts::FieldKind::Single:
      return db::Value::Real(importers::SingleValue(bytes));
    case layouts::FieldKind::Date:
      // An empty date is blank text, which the record set stores as NULL.
      return importers::DateValue(bytes);
    case layouts::FieldKind::Text:
      break;
  }
  return importers::TextValue(importers::CleanView(bytes));
}

std::string ExpectedLayout() {
  std::string names;
  for (const comps::Column& c : comps::kColumns)
    names += (names.empty() ? "" : ", ") + std::string(c.name);
  return names;
}

// Where ImportZazOzurs was when a failure ended it: the number is the index
// of its failure line. The main pass and the supplement pass share a few.
enum class ZazStage : int {
  Start = 0,
  CloseRecordset = 1,
  SortFiles = 3,
  ListFiles = 4,
  TableQuery = 5,
  OpenTable = 6,
  CreateTable = 7,
  CreatedTable = 8,
  FindMainFile = 6,
  NextMainRecord = 7,
  DecodeMainRecord = 10,
  WriteMainRow = 11,
  SaveMainRow = 12,
  MainRecordDone = 13,
  MainFileDone = 14,
  NextSupplementFile = 15,
  OpenSupplementFile = 16,
  CountSupplementRecords = 17,
  ShowSupplementWindow = 18,
  NextSupplementRecord = 19,
  DecodeSupplementRecord = 21,
  ShowSupplementCount = 22,
  TakeSupplementValues = 23,
  WriteSupplementRow = 24,
  SupplementRecordDone = 25,
  SupplementFileDone = 26,
};

// What the per-file routines share with the routine that runs the passes.
struct PassState {
  ImportSession& engine;
  importers::WcidSet& wcids;
  importers::FileProgress& window;
  ZazStage& step;
  // Only supplement files ask the identifiers of the main records: without
  // them, none are kept (memory would grow with the files).
  bool keepWcids = true;
};

// One main file: every record becomes a new row. The rows saved (and committed).
std::int64_t ImportMainFile(PassState& pass, const std::string& name, const std::string& path) {
  Recordset* rs = pass.engine.CurrentRecordset();
  const importers::FileResult file = importers::ImportFileRows(
      pass.engine, kSource, name, path,
      {.framing = kMainFraming,
       .countFirst = true,
       .readFailureEndsImport = true,
       .reached =
           [&](importers::FileStep step) {
             if (step == importers::FileStep::NextRecord) pass.step = ZazStage::NextMainRecord;
           },
       .opened =
           [&](std::int64_t total) {
             pass.window.Show("Importing data from file: " + name, total);
             if (pass.keepWcids)
               pass.wcids.Reserve(pass.wcids.size() + static_cast<std::size_t>(total));
           },
       .land =
           [&, k = std::int64_t{0}](const importers::Record& record, importers::FileReport& report,
                                    const FileTransaction&) mutable {
             pass.step = ZazStage::DecodeMainRecord;
             const std::string_view wcid =
                 importers::CleanView(importers::Slice(record.head, comps::kWcid));
             pass.window.Count(k++);
             // A record set that is not open (the table could not be made) ends the import here.
             if (rs == nullptr) throw std::runtime_error("The record set is not open.");
             if (!rs->AddNew()) throw std::runtime_error(rs->error());

             pass.step = ZazStage::WriteMainRow;
             importers::RowWrite row(*rs);
             for (const comps::Placed& p : comps::kFields) {
               if (p.position == comps::kNotStored) continue;
               if (p.field.kind == layouts::FieldKind::Text)
                 row.SetText(p.position,
                             importers::CleanView(importers::Slice(record.head, p.field)));
               else
                 row.Set(p.position, MainValue(record.head, p.field));
             }
             row.Set(comps::kUnfedColumn, db::Value::Text(""));
             pass.step = ZazStage::SaveMainRow;
             const bool saved = row.Finish(importers::Landing::NewRow, report, record, wcid);

             pass.step = ZazStage::MainRecordDone;
             pass.window.Step();
             return saved;
           },
       .holdNewRows = true,
       .settled =
           [&](std::string_view wcid, bool saved) {
             if (pass.keepWcids) pass.wcids.Add(wcid, saved);
           }});
  // Rows rolled back with the file were not saved.
  pass.wcids.SettleFile(file.committed);
  return file.committed ? file.saved : 0;
}

// The two statements of one supplement file, prepared once, with the values
// of the current record bound as parameters (so any text is stored as it is).
class SupplementStatements {
 public:
  SupplementStatements(DbConnection& connection, const std::string& table, const Recordset& rs) {
    // The names at the positions the tokens are written to, in token order.
    std::string set, names, marks;
    for (int i = 0; i < kNameCount; ++i) {
      const std::string name = accesssql::Bracket(rs.FieldName(supp::kNamePositions[i]));
      set += (i ? ", " : "") + name + " = ?";
      names += (i ? ", " : "") + name;
      marks += i ? ", ?" : "?";
    }
    // The row is found through the column literally named WCID.
    Prepare(connection, "UPDATE " + accesssql::Bracket(table) + " SET " + set + " WHERE [WCID] = ?",
            update_, updateError_);
    Prepare(connection,
            "INSERT INTO " + accesssql::Bracket(table) + " (" + names + ") VALUES (" + marks + ")",
            insert_, insertError_);
  }

  // Decodes the record's values.
  void Take(std::string_view head) {
    for (int i = 0; i < kNameCount; ++i) {
      const int k = supp::FieldForName(i);
      const supp::TokenField* f = k < 0 ? nullptr : &supp::kFields[k];
      const std::string_view bytes = f ? importers::Slice(head, f->field) : std::string_view();
      if (f == nullptr)
        values_[i] = db::Value::Text("");
      else if (f->field.kind == layouts::FieldKind::Int32)
        values_[i] = db::Value::Integer(importers::LongValue(bytes));
      else
        values_[i] = importers::TextValue(importers::CleanView(bytes));
    }
  }

  // Writes the values over every row holding one of `spellings` as its WCID.
  bool Update(const std::vector<std::string>& spellings, std::string& problem) {
    for (const std::string& spelling : spellings) {
      values_[kNameCount] = importers::TextValue(spelling);
      if (!Run(update_.get(), updateError_, kNameCount + 1, problem)) return false;
    }
    return true;
  }
  bool Insert(std::string& problem) {
    return Run(insert_.get(), insertError_, kNameCount, problem);
  }

 private:
  static void Prepare(DbConnection& connection, const std::string& sql,
                      std::unique_ptr<db::Statement>& statement, std::string& error) {
    db::Backend* backend = connection.backend();
    if (backend == nullptr) {
      error = "the connection is not open";
      return;
    }
    statement = backend->Prepare(connection.Translate(sql), error);
  }

  bool Run(db::Statement* statement, const std::string& prepareError, int parameters,
           std::string& problem) {
    if (statement == nullptr) {
      problem = "the database refused the statement: " + OneLine(prepareError);
      return false;
    }
    for (int i = 0; i < parameters; ++i) {
      if (!statement->Bind(i + 1, values_[i])) {
        problem = "the database refused a value: " + OneLine(statement->error());
        statement->Reset();
        return false;
      }
    }
    const bool ok = statement->Step() != db::StepResult::Error;
    if (!ok) problem = "the database refused the row: " + OneLine(statement->error());
    statement->Reset();
    return ok;
  }

  std::unique_ptr<db::Statement> update_, insert_;
  std::string updateError_, insertError_;
  // Bound texts are not copied by the statements: they live here until the
  // next record's values replace them. The last one is the UPDATE's key.
  std::array<db::Value, kNameCount + 1> values_;
};

// One supplement file. The records saved (and committed).
std::int64_t ImportSupplementFile(PassState& pass, const std::string& name, const std::string& path,
                                  const std::string& table) {
  std::unique_ptr<SupplementStatements> statements;
  importers::WcidSet::Match match;
  std::string problem;
  const importers::FileResult file = importers::ImportFileRows(
      pass.engine, kSource, name, path,
      {.framing = kSupplementFraming,
       .countFirst = true,
       .readFailureEndsImport = true,
       .reached =
           [&](importers::FileStep step) {
             pass.step = step == importers::FileStep::Open    ? ZazStage::OpenSupplementFile
                         : step == importers::FileStep::Count ? ZazStage::CountSupplementRecords
                                                              : ZazStage::NextSupplementRecord;
           },
       .opened =
           [&](std::int64_t total) {
             pass.step = ZazStage::ShowSupplementWindow;
             pass.window.Show("Importing date from file: " + name, total);
             // The statements name the columns the record set reports at the
             // tokens' positions; without an open record set there are none to name.
             const Recordset* rs = pass.engine.CurrentRecordset();
             if (rs == nullptr || rs->State() == 0)
               throw std::runtime_error(
                   "The record set is not open: its column names cannot be read.");
             statements =
                 std::make_unique<SupplementStatements>(*pass.engine.Connection(), table, *rs);
           },
       .land =
           [&, k = std::int64_t{0}](const importers::Record& record, importers::FileReport& report,
                                    const FileTransaction& transaction) mutable {
             pass.step = ZazStage::DecodeSupplementRecord;
             const std::string_view wcid =
                 importers::CleanView(importers::Slice(record.head, supp::kWcid.field));
             pass.wcids.Find(wcid, match);
             pass.step = ZazStage::ShowSupplementCount;
             pass.window.Count(k++);

             pass.step = ZazStage::TakeSupplementValues;
             statements->Take(record.head);
             pass.step = ZazStage::WriteSupplementRow;
             const bool ok = match.found ? statements->Update(match.spellings, problem)
                                         : statements->Insert(problem);
             report.Read(record);
             bool saved = false;
             if (!ok) {
               // A failure of the whole file is reported once, by FinishFile.
               if (!transaction.Stopped()) report.Rejected(record, problem);
             } else if (match.found && !match.saved) {
               report.Rejected(record,
                               "its main record was not saved, so no row of this import received "
                               "its details");
             } else {
               saved = true;
               if (record.cutShort)
                 report.StoredIncomplete(record, match.found);
               else if (match.found)
                 report.Overwritten();
               else
                 report.Added();
             }
             // The UPDATE wrote this record's spelling into every row of the identifier.
             if (ok && match.found) pass.wcids.Respell(wcid, wcid);

             pass.step = ZazStage::SupplementRecordDone;
             pass.window.Step();
             return saved;
           }});
  return file.committed ? file.saved : 0;
}

}  // namespace

namespace importers {

std::int32_t ImportZazOzurs(ImportSession& session) {
  const platform::Context& ctx = session.Context();
  // Outside the trap, so a failure is logged before the window goes.
  FileProgress window(ctx, FileProgress::Plural::ByCount);
  const std::int32_t result =
      Trapped<ZazStage>(session, kSource, std::int32_t{-1}, [&](ZazStage& step) {
        step = ZazStage::CloseRecordset;
        session.CloseRecordset();
        step = ZazStage::SortFiles;
        std::vector<std::string> mainFiles, supplementFiles;
        importers::WcidSet wcids;

        step = ZazStage::ListFiles;
        if (session.OutputFiles().empty())
          throw std::runtime_error("The output-file list is empty.");
        const std::string mark = support::LowerAscii(ResourceString(res::kSupplementExtension));
        for (const std::string& entry : session.OutputFiles()) {
          const std::string lower = support::LowerAscii(entry);
          std::vector<std::string>& files =
              lower.find(mark) != std::string::npos ? supplementFiles : mainFiles;
          // Each file is imported once, as a keyed list would hold it.
          bool listed = false;
          for (const std::string& f : files) listed = listed || support::LowerAscii(f) == lower;
          if (!listed) files.push_back(entry);
        }

        step = ZazStage::TableQuery;
        const std::string table = ResourceString(res::kComparablesTable);
        const std::string query = TableQuery(table, res::kComparablesOrder);
        step = ZazStage::OpenTable;
        if (session.OpenRecordset(query, true) == 0) {
          session.WriteToLog("Table '" + table + "' did not appear to exist.", kSource, -1);
          step = ZazStage::CreateTable;
          // The layout the positions assume, with the index the supplement
          // statements find their rows by.
          if (session.ExecuteScript(table, comps::CreateTableScript())) {
            step = ZazStage::CreatedTable;
            session.WriteToLog("Created table '" + table + "' successfully.", kSource, -1);
            session.ExecuteScript(table, ResourceString(res::kCreateIdIndex));
            session.ExecuteScript(table, comps::kWcidIndexScript);
            session.OpenRecordset(query, true);
          } else {
            session.WriteToLog("Failed to create table '" + table + "'.", kSource, -1);
          }
        }
        // A table of an older layout: the main records go to the positions it
        // has, but the supplement columns are not where the statements expect.
        std::string tooFewColumns;
        Recordset* rs = session.CurrentRecordset();
        if (rs && rs->State() == 1 && rs->FieldCount() < comps::kColumnCount) {
          tooFewColumns = "table '" + table + "' has " + std::to_string(rs->FieldCount()) +
                          " columns, not the " + std::to_string(comps::kColumnCount) +
                          " supplement records are written to";
          session.WriteToLog(
              "Table '" + table + "' has " + std::to_string(rs->FieldCount()) +
                  " columns; this import expects " + std::to_string(comps::kColumnCount) +
                  ", in this order: " + ExpectedLayout() +
                  ". Main records are written to the columns that exist; supplement files "
                  "are not imported.",
              kSource, -1);
        }

        PassState pass{session, wcids, window, step, !supplementFiles.empty()};
        std::int64_t saved = 0;
        ForEachOutputFile(session, mainFiles, Attempt::MayTakeMinutes,
                          [&](const std::string& name) {
                            step = ZazStage::FindMainFile;
                            const std::string path = session.OutputFolder() + name;
                            if (SourceFileFound(session, kSource, path))
                              saved += ImportMainFile(pass, name, path);
                            step = ZazStage::MainFileDone;
                          });
        window.Close();

        ForEachOutputFile(session, supplementFiles, Attempt::MayTakeMinutes,
                          [&](const std::string& name) {
                            step = ZazStage::NextSupplementFile;
                            const std::string path = session.OutputFolder() + name;
                            if (!tooFewColumns.empty())
                              FileReport(session, kSource, name)
                                  .FileProblem("not imported: " + tooFewColumns + ".");
                            else if (SourceFileFound(session, kSource, path))
                              saved += ImportSupplementFile(pass, name, path, table);
                            step = ZazStage::SupplementFileDone;
                          });
        window.Close();

        const auto added = static_cast<std::int32_t>(
            std::min<std::int64_t>(saved, std::numeric_limits<std::int32_t>::max()));
        session.WriteToLog(support::GroupedDigits(added) + " records added.", kSource, -1);
        return added;
      });
  window.Close();
  return result;
}

}  // namespace importers
