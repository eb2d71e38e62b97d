#include "importers/FileDriver.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <optional>
#include <stdexcept>

#include "engine/AccessSql.h"
#include "engine/DbConnection.h"
#include "importers/FieldDecoding.h"
#include "importers/FileReport.h"
#include "importers/ImporterText.h"
#include "platform/FileProgressWindow.h"
#include "support/Conversions.h"
#include "support/ErrorReport.h"
#include "support/ResourceStrings.h"
#include "support/modFileIO.h"

namespace importers {

std::string TableQuery(const std::string& table, int orderId) {
  return ReplacePlaceholders(ResourceString(res::kQueryPattern), "%s",
                             {accesssql::EscapeBracketed(table), ResourceString(orderId)});
}

db::Value TextField(std::string_view record, layouts::Field field) {
  return TextValue(CleanView(Slice(record, field)));
}

int OpenTableForFile(ImportSession& session, std::string_view source, const std::string& entry,
                     const std::string& query, const std::string& table) {
  const int opened = session.OpenRecordset(query, true);
  if (opened == 0) {
    session.WriteToLog("Could not open table '" + table + "'", std::string(source), -1);
    FileReport(session, std::string(source), entry)
        .FileProblem("not imported: its table could not be opened.");
  }
  return opened;
}

bool SourceFileFound(ImportSession& session, std::string_view source, const std::string& path) {
  std::string reason;
  if (modFileIO::FileExists(session.Context(), path, reason)) return true;
  session.WriteToLog(support::WithReason("Source file was NOT found during import process", reason),
                     std::string(source), -1);
  return false;
}

void ForEachOutputFile(ImportSession& session, const std::vector<std::string>& files,
                       Attempt attempt, const std::function<void(const std::string&)>& file) {
  for (const std::string& entry : files) {
    if (session.DatabaseFailed()) break;
    session.WriteToLog(
        "Attempting to import file: '" + entry +
            (attempt == Attempt::Plain ? "'." : "', this *may* take several minutes..."),
        "", -1);
    file(entry);
    session.AdvanceProgress();
  }
}

FileResult ImportFileRows(ImportSession& session, std::string_view source, const std::string& entry,
                          const std::string& path, const FileRows& rows) {
  auto reached = [&](FileStep step) {
    if (rows.reached) rows.reached(step);
  };
  auto endIfFailed = [&](const RecordReader& reader, const std::string& what) {
    if (rows.readFailureEndsImport && reader.Failed())
      throw std::runtime_error(support::WithReason(what, reader.Error()));
  };
  FileReport report(session, std::string(source), entry);
  reached(FileStep::Open);
  RecordReader reader(session.Context().env, path);
  report.KeepRejectedFrom(reader);
  endIfFailed(reader, "The file '" + entry + "' could not be opened");
  FramedRecords records(reader, rows.framing);
  std::int64_t total = 0;
  if (rows.countFirst) {
    reached(FileStep::Count);
    total = records.Count();
    endIfFailed(reader, "Reading the file '" + entry + "' failed");
  }
  if (rows.opened) rows.opened(total);

  // Committed on every way out of this function when it is the driver's own.
  std::optional<FileTransaction> own;
  FileTransaction& transaction = rows.begun ? *rows.begun : own.emplace(session.Connection());
  records.StopWhen(transaction);
  FileResult result;
  Record record;
  while (true) {
    reached(FileStep::NextRecord);
    if (!records.Next(record)) break;
    if (rows.land(record, report, transaction)) ++result.saved;
  }
  if (rows.drained) rows.drained(report);
  result.committed = FinishFile(report, records, reader, transaction);
  endIfFailed(reader, "Reading the file '" + entry + "' failed");
  return result;
}

FileProgress::FileProgress(const platform::Context& ctx, Plural plural)
    : ctx_(ctx), plural_(plural) {}

FileProgress::~FileProgress() = default;

void FileProgress::Show(const std::string& status, std::int64_t total) {
  if (!window_) window_ = ctx_.ui.LoadFileProgress();
  total_ = total;
  window_->SetStatus(status);
  barMax_ = static_cast<std::int32_t>(
      std::min<std::int64_t>(total, std::numeric_limits<std::int32_t>::max()));
  window_->Bar().SetMax(barMax_);
  unshown_ = 0;
  window_->Show();
}

void FileProgress::Count(std::int64_t k) {
  char digits[24];
  line_.assign(digits, std::to_chars(digits, digits + sizeof digits, k).ptr);
  line_ += " of ";
  line_.append(digits, std::to_chars(digits, digits + sizeof digits, total_).ptr);
  const std::int64_t agreesWith = plural_ == Plural::ByTotal ? total_ : k;
  line_ += agreesWith == 1 ? " record imported." : " records imported.";
  window_->SetProgressText(line_);
}

void FileProgress::Step() {
  ++unshown_;
  // The bar is drawn and events are pumped a few dozen times a second, and
  // the bar once more when it is full: the window cannot show more, and the
  // log's next line pumps events again. The clock is read every
  // kStepsPerClockReading steps.
  platform::ProgressSink& bar = window_->Bar();
  const bool full = bar.Value() + unshown_ >= barMax_;
  if (!full && ++steps_ % kStepsPerClockReading != 0) return;
  const double now = ctx_.env.MonotonicSeconds();
  const bool due = now - pumped_ >= kPumpSeconds;
  if (!full && !due) return;
  // Each step moved the bar one further, never past its maximum.
  bar.SetValue(static_cast<std::int32_t>(std::min<std::int64_t>(bar.Value() + unshown_, barMax_)));
  unshown_ = 0;
  if (!due) return;
  pumped_ = now;
  ctx_.ui.PumpEvents();
}

void FileProgress::Close() {
  window_.reset();
}

}  // namespace importers
