#include "importers/FileReport.h"

#include "engine/CSImportEngine.h"
#include "engine/DbConnection.h"
#include "importers/FramedRecords.h"

namespace importers {

namespace {

// The system's reason, when there is one, for the middle of a sentence.
std::string Reason(const std::string& why) {
  return why.empty() ? std::string() : " (" + why + ")";
}

}  // namespace

FileReport::FileReport(CSImportEngine& engine, std::string source, std::string file)
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
}

bool FinishFile(FileReport& report, const FramedRecords& records, const RecordReader& reader,
                FileTransaction& transaction) {
  if (transaction.BeginFailed())
    report.FileProblem("the database refused to start a transaction (" + transaction.BeginError() +
                       "), so the file's rows were written one by one.");
  if (reader.Failed())
    report.FileProblem("reading the file failed" + Reason(reader.Error()) +
                       "; the rest of it was not imported.");
  if (records.FragmentBytes() > 0)
    report.Fragment(records.FragmentOffset(), records.FragmentBytes());
  const bool committed = transaction.Commit();
  if (!committed) report.FileProblem("the database refused to commit the file's rows.");
  report.Summary();
  return committed;
}

}  // namespace importers
