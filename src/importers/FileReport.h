// What one output file's import came to, and the log lines that say so.
//
// Every record read lands in exactly one of four counts:
// - added / overwritten: its row was saved with every value;
// - kept: an existing row was kept instead (the conflict question);
// - rejected: something of it could not be stored. The record gets one log
//   line naming the file, its number, its byte offset and the reason. Its row
//   may still have been saved without the refused values, as the importers
//   have always done; the count says the record did not land exactly.
// So read = added + overwritten + kept + rejected. A rejection also marks the
// run (the exit status tells scripts that records were not written). A
// record cut short by the end of the file whose row was saved counts as
// added (or overwritten), with a warning line; it marks the run too. When the
// file is rolled back every record read counts as rejected, with one line
// for the file.
//
// A run with a log also keeps each rejected record's bytes, exactly as framed
// in the extracted file, in "<log file>.rejects.<output file less .tmp>" beside the log
// (created at the file's first rejection, never through an existing name), so
// they can be looked at and imported again; the rejection line says where.
// A file rolled back whole has every record it read kept there. Failing to
// keep them is logged and marks the run; the import goes on.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "importers/FramedRecords.h"

class ImportSession;
class FileTransaction;

namespace platform {
class WritableFile;
}

namespace importers {

class FramedRecords;
class RecordReader;

class FileReport {
 public:
  // `source` is the importer's log source; `file` the output file's name.
  FileReport(ImportSession& engine, std::string source, std::string file);
  ~FileReport();

  // Rejected records are kept from now on, read again from `reader` (which
  // must outlive this report).
  void KeepRejectedFrom(RecordReader& reader) { reader_ = &reader; }

  void Read(const Record& record);
  void Added() { ++added_; }
  void Overwritten() { ++overwritten_; }
  void Kept() { ++kept_; }
  // Logs the rejection line and counts it (also for the run).
  void Rejected(const Record& record, std::string_view reason);
  // The record was cut short by the end of the file and its row saved with
  // the missing bytes as empty values: counted as added (or overwritten when
  // `overwritten`), with a warning line; it marks the run.
  void StoredIncomplete(const Record& record, bool overwritten);
  // The file's rows were rolled back: nothing of it is in the database. One
  // line for the file; every record read counts as rejected.
  void RolledBack(std::string_view why);
  // A conflict nobody could answer (no terminal): the existing row was kept.
  void KeptUnanswered(const Record& record);
  // Bytes at the end too short to be a record: logged, not counted.
  void Fragment(std::int64_t offset, std::int64_t bytes);
  // A failure that affects the whole file (unreadable, commit refused):
  // logged and counted for the run, so the exit status shows it.
  void FileProblem(std::string_view what);
  // The one summary line of the file.
  void Summary();

  // Records whose new rows the record set holds back, to be written several
  // to a statement (Recordset::Hold): each is reported when its row is
  // written (WriteHeldRows), in the order held, which is the file's.
  struct HeldRecord {
    Record record;  // its views are not kept
    std::string problem;
    std::string tag;
  };
  std::vector<HeldRecord>& held() { return held_; }
  // Told, for every record landed through RowWrite::Finish, the tag it was
  // landed with and whether its row was saved, once that is known.
  std::function<void(std::string_view tag, bool saved)> settled;
  // Rows saved of the held records, once written.
  std::int64_t heldSaved = 0;

  std::int64_t read() const { return read_; }
  std::int64_t added() const { return added_; }
  std::int64_t overwritten() const { return overwritten_; }
  std::int64_t kept() const { return kept_; }
  std::int64_t rejected() const { return rejected_; }

 private:
  void Log(const std::string& text);
  // Appends bytes [from, to) of the file to its rejects file: where in that
  // file they start, or -1 when they were not kept.
  std::int64_t Keep(std::int64_t from, std::int64_t to);
  // " (kept at byte N of 'name')" for bytes kept at `at`; "" for -1.
  std::string KeptAt(std::int64_t at, const char* how) const;
  std::int64_t StopKeeping(const std::string& what, const std::string& why);

  ImportSession& engine_;
  std::string source_;
  std::string file_;
  std::int64_t read_ = 0, added_ = 0, overwritten_ = 0, kept_ = 0, rejected_ = 0;
  RecordReader* reader_ = nullptr;
  std::int64_t readEnd_ = 0;  // just past the last record read
  std::string rejectsName_;
  std::unique_ptr<platform::WritableFile> rejects_;
  std::int64_t rejectsSize_ = 0;
  bool keepFailed_ = false;
  std::vector<std::pair<std::int64_t, std::int64_t>> keptSpans_;  // of the file, in order
  std::vector<HeldRecord> held_;
};

// Reports a file whose transaction could not start: nothing of it was
// written ("the database is busy" when another program held it past the wait).
void ReportBeginFailure(FileReport& report, const FileTransaction& transaction);

// Ends one output file's import: reports a transaction that never began
// (nothing was written) and a trailing fragment, commits the file's rows, or
// rolls them back when reading the file failed or the database ended the
// transaction or failed on the way, and writes the summary line. False when
// none of the file's rows were saved.
bool FinishFile(FileReport& report, const FramedRecords& records, const RecordReader& reader,
                FileTransaction& transaction);

}  // namespace importers
