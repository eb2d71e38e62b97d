#include "importers/FileReport.h"

#include "engine/DbConnection.h"
#include "engine/ImportSession.h"
#include "importers/FramedRecords.h"

namespace importers {

namespace {

// The system's reason, when there is one, for the middle of a sentence.
std::string Reason(const std::string& why) {
  return why.empty() ? std::string() : " (" + why + ")";
}

}  // namespace

FileReport::FileReport(ImportSession& engine, std::string source, std::string file)
    : engine_(engine), source_(std::move(source)), file_(std::move(file)) {}

void FileReport::Log(const std::string& text) {
  engine_.WriteToLog(text, source_, -1);
}

void FileReport::Rejected(const Record& record, std::string_view reason) {
  ++rejected_;
  engine_.CountRejectedRecord();
  Log("Rejected record " + std::to_string(record.number) + " of file '" + file_ + "' at byte " +
      std::to_string(record.offset) + ": " + std::string(reason));
}

void FileReport::StoredIncomplete(const Record& record, bool overwritten) {
  if (overwritten)
    ++overwritten_;
  else
    ++added_;
  engine_.CountRejectedRecord();
  Log("Warning: record " + std::to_string(record.number) + " of file '" + file_ + "' at byte " +
      std::to_string(record.offset) +
      " is cut short by the end of the file; it was stored with its missing bytes as empty "
      "values.");
}

void FileReport::RolledBack(std::string_view why) {
  rejected_ = read_;
  added_ = overwritten_ = kept_ = 0;
  FileProblem("not imported: " + std::string(why) + "; none of its " + std::to_string(read_) +
              " record(s) were stored.");
}

void FileReport::KeptUnanswered(const Record& record) {
  Log("Record " + std::to_string(record.number) + " of file '" + file_ + "' at byte " +
      std::to_string(record.offset) +
      " conflicts with an existing row; nobody could answer the question (no terminal), so the "
      "existing row was kept.");
}

void FileReport::Fragment(std::int64_t offset, std::int64_t bytes) {
  Log("File '" + file_ + "' ends with " + std::to_string(bytes) + " byte(s) at byte " +
      std::to_string(offset) + ", too few for a record; they were not read.");
}

void FileReport::FileProblem(std::string_view what) {
  engine_.CountRejectedRecord();
  Log("File '" + file_ + "': " + std::string(what));
}

void FileReport::Summary() {
  Log("File '" + file_ + "': " + std::to_string(read_) + " read, " + std::to_string(added_) +
      " added, " + std::to_string(overwritten_) + " overwritten, " + std::to_string(kept_) +
      " kept, " + std::to_string(rejected_) + " rejected.");
  engine_.NoteFileSummary({file_, read_, added_, overwritten_, kept_, rejected_});
}

void ReportBeginFailure(FileReport& report, const FileTransaction& transaction) {
  report.FileProblem(transaction.BeginBusy()
                         ? "not imported: the database is busy."
                         : "not imported: the database refused to start a transaction (" +
                               transaction.BeginError() + ").");
}

bool FinishFile(FileReport& report, const FramedRecords& records, const RecordReader& reader,
                FileTransaction& transaction) {
  if (transaction.BeginFailed()) {
    // Nothing of the file was read or written.
    ReportBeginFailure(report, transaction);
    report.Summary();
    return false;
  }
  if (reader.Failed()) {
    // Part of a file is no file: what was read of it does not stay either.
    transaction.Rollback();
    report.RolledBack("reading the file failed" + Reason(reader.Error()));
    report.Summary();
    return false;
  }
  if (records.FragmentBytes() > 0)
    report.Fragment(records.FragmentOffset(), records.FragmentBytes());
  if (records.OverrunBytes() > 0)
    report.FileProblem("the record's stated length runs past the end of the file; " +
                       std::to_string(records.OverrunBytes()) + " bytes not read.");
  bool committed = false;
  if (transaction.Stopped()) {
    // The file stopped part-way: what it wrote must not stay.
    transaction.Rollback();
    report.RolledBack("the database ended the file's transaction");
  } else if (!(committed = transaction.Commit())) {
    report.RolledBack("the database refused to commit the file's rows (" +
                      transaction.CommitError() + ")");
  }
  report.Summary();
  return committed;
}

}  // namespace importers
