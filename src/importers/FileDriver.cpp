#include "importers/FileDriver.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "engine/AccessSql.h"
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

FileProgress::FileProgress(const platform::Context& ctx, Plural plural)
    : ctx_(ctx), plural_(plural) {}

FileProgress::~FileProgress() = default;

void FileProgress::Show(const std::string& status, std::int64_t total) {
  if (!window_) window_ = ctx_.ui.LoadFileProgress();
  total_ = total;
  window_->SetStatus(status);
  window_->Bar().SetMax(static_cast<std::int32_t>(
      std::min<std::int64_t>(total, std::numeric_limits<std::int32_t>::max())));
  window_->Show();
}

void FileProgress::Count(std::int64_t k) {
  char digits[24];
  line_.assign(digits, std::to_chars(digits, digits + sizeof digits, k).ptr);
  line_ += " of " + std::to_string(total_);
  const std::int64_t agreesWith = plural_ == Plural::ByTotal ? total_ : k;
  line_ += agreesWith == 1 ? " record imported." : " records imported.";
  window_->SetProgressText(line_);
}

void FileProgress::Step() {
  window_->Bar().SetValue(window_->Bar().Value() + 1);
  ctx_.ui.PumpEvents();
}

void FileProgress::Close() {
  window_.reset();
}

}  // namespace importers
