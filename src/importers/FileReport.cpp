#include "importers/FileReport.h"

#include <algorithm>

#include "engine/DbConnection.h"
#include "engine/ImportSession.h"
#include "importers/FramedRecords.h"
#include "platform/Env.h"
#include "support/Conversions.h"

namespace importers {

namespace {

// The system's reason, when there is one, for the middle of a sentence.
std::string Reason(const std::string& why) {
  return why.empty() ? std::string() : " (" + why + ")";
}

}  // namespace

FileReport::FileReport(ImportSession& engine, std::string source, std::string file)
    : engine_(engine), source_(std::move(source)), file_(std::move(file)) {}

FileReport::~FileReport() = default;

void FileReport::Log(const std::string& text) {
  engine_.WriteToLog(text, source_, -1);
}

void FileReport::Read(const Record& record) {
  ++read_;
  readEnd_ = std::max(readEnd_, record.end);
}

std::int64_t FileReport::StopKeeping(const std::string& what, const std::string& why) {
  keepFailed_ = true;
  engine_.CountRunProblem();
  Log("The rejected records of file '" + file_ + "' are no longer kept: " + what + " '" +
      rejectsName_ + "' failed" + Reason(why) + ".");
  return -1;
}

std::int64_t FileReport::Keep(std::int64_t from, std::int64_t to) {
  const std::string& log = engine_.LogPath();
  if (reader_ == nullptr || keepFailed_ || to <= from || log.empty()) return -1;
  std::string why;
  if (!rejects_) {
    // Named after the log, so each run's files sort together, and after the
    // output file less its ".tmp": the extracted files are deleted by that
    // name, at the end of the run and by the next. An output file's name
    // cannot reach another folder.
    std::string name = file_;
    if (name.size() > 4 && support::LowerAscii(name.substr(name.size() - 4)) == ".tmp")
      name.resize(name.size() - 4);
    for (char& c : name)
      if (c == '\\' || c == '/') c = '_';
    const std::string path = log + ".rejects." + name;
    rejectsName_ = path.substr(path.find_last_of("\\/") + 1);
    bool taken = false;
    rejects_ = engine_.Context().env.OpenForWriting(path, taken, why);
    if (!rejects_) return StopKeeping("creating", taken ? "the name is taken" : why);
  }
  const std::int64_t at = rejectsSize_;
  std::vector<char> buffer(static_cast<std::size_t>(std::min<std::int64_t>(to - from, 1 << 20)));
  for (std::int64_t done = from; done < to;) {
    const std::int64_t got = reader_->ReadAt(
        done, buffer.data(),
        static_cast<std::size_t>(std::min<std::int64_t>(to - done, std::ssize(buffer))), why);
    if (got <= 0) return StopKeeping("reading the record again for", got < 0 ? why : "too short");
    if (!rejects_->Append({buffer.data(), static_cast<std::size_t>(got)}))
      return StopKeeping("writing", rejects_->Error());
    done += got;
    rejectsSize_ += got;
  }
  keptSpans_.emplace_back(from, to);
  return at;
}

std::string FileReport::KeptAt(std::int64_t at, const char* how) const {
  if (at < 0) return "";
  return std::string(" (") + how + " byte " + std::to_string(at) + " of '" + rejectsName_ + "')";
}

void FileReport::Rejected(const Record& record, std::string_view reason) {
  ++rejected_;
  engine_.CountRejectedRecord();
  const std::int64_t at = Keep(record.offset, record.end);
  Log("Rejected record " + std::to_string(record.number) + " of file '" + file_ + "' at byte " +
      std::to_string(record.offset) + ": " + std::string(reason) + KeptAt(at, "kept at"));
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
  // Every record read was refused: those not kept already are kept now, in
  // the order of the file (one more read of it, only for a file rolled back).
  std::vector<std::pair<std::int64_t, std::int64_t>> gaps;
  std::int64_t next = 0;
  for (const auto& [from, to] : keptSpans_) {
    if (from > next) gaps.emplace_back(next, from);
    next = std::max(next, to);
  }
  if (next < readEnd_) gaps.emplace_back(next, readEnd_);
  const char* how = keptSpans_.empty() ? "kept from" : "the others kept from";
  std::int64_t at = -1;
  for (const auto& [from, to] : gaps) {
    const std::int64_t kept = Keep(from, to);
    if (at < 0) at = kept;
  }
  FileProblem("not imported: " + std::string(why) + "; none of its " + std::to_string(read_) +
              " record(s) were stored." + KeptAt(at, how));
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
  // The kept records are complete before the file's last line says so.
  if (rejects_ && !rejects_->Close()) {
    engine_.CountRunProblem();
    Log("The rejected records of file '" + file_ + "' could not be closed in '" + rejectsName_ +
        "' (" + rejects_->Error() + ").");
  }
  rejects_.reset();
  reader_ = nullptr;  // the file is done
  const FileSummary summary{file_, read_, added_, overwritten_, kept_, rejected_};
  Log(SummaryLine(summary));
  engine_.NoteFileSummary(summary);
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
