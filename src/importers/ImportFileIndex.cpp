// Appraisal index: every record of every output file becomes a new FileIndex
// row (nothing is compared), while a file progress window counts the records.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "engine/AccessSql.h"
#include "engine/CSImportEngine.h"
#include "engine/DbConnection.h"
#include "engine/Recordset.h"
#include "importers/FieldDecoding.h"
#include "importers/FileReport.h"
#include "importers/FramedRecords.h"
#include "importers/ImporterText.h"
#include "importers/RowLanding.h"
#include "importers/layouts/FileIndexLayout.h"
#include "startup/ResourceStrings.h"
#include "support/Conversions.h"
#include "support/modFileIO.h"
#include "support/modShow.h"
#include "ui/CProgressBar.h"
#include "ui/FileProgressWindow.h"

namespace {

namespace layout = layouts::fileindex;

constexpr const char* kSource = "ImportFileIndex::CSImportEngine";

constexpr int kQueryPattern = 551;  // SELECT * FROM [%s] ORDER BY %s
constexpr int kOrder = 553;         // FileID, Fullpath
constexpr int kTable = 554;         // FileIndex

// Column positions of FileIndex (0 is the ID counter).
enum Column {
  kFileId = 1,
  kFormName,
  kFilename,
  kFullpath,
  kOwner,
  kStreet,
  kCity,
  kState,
  kZipCode,
  kCensus,
  kNeighborhood,
  kBuildingType,
  kBuildingDesign,
  kLenderId,
  kLenderCaseNo,
  kAppraiser,
  kDateReceived,
  kDateAssigned,
  kDateDue,
  kDateDelivered,
  kTrackingExtra,
};

// The fixed head, then the report's path in the bytes the length states past
// it. A record starts while any byte remains: a head cut short by the end of
// the file still becomes a row (its missing bytes read as zero).
const importers::Framing kFraming{
    .headSize = layout::kHeadSize,
    .minRemaining = 1,
    .body = importers::Framing::Body::LengthTail,
};

db::Value TextField(std::string_view head, layouts::Field field) {
  return importers::TextValue(importers::CleanView(importers::Slice(head, field)));
}

// An empty date text is blank, which the record set stores as NULL; a text
// naming no calendar day is refused by it and reported against the record.
db::Value DateField(std::string_view head, layouts::Field field) {
  return db::Value::Text(importers::DateText(importers::Slice(head, field)));
}

}  // namespace

std::int32_t CSImportEngine::ImportFileIndex() {
  return Trapped(kSource, std::int32_t{-1}, [&]() -> std::int32_t {
    // Rows saved from the last file read; a skipped file leaves it as it is.
    std::int32_t count = 0;
    CloseRecordset();

    for (const std::string& entry : outputFiles_) {
      if (DatabaseFailed()) break;
      WriteToLog("Attempting to import file: '" + entry + "'.", "", -1);

      const std::string table = ResourceString(kTable);
      const std::string query = importers::ReplacePlaceholders(
          ResourceString(kQueryPattern), "%s",
          {accesssql::EscapeBracketed(table), ResourceString(kOrder)});
      const std::string path = outputFolder_ + entry;
      if (OpenRecordset(query, true) == 0) {
        WriteToLog("Could not open table '" + table + "'", kSource, -1);
        // None of the file's records can land: the run must not end as a success.
        importers::FileReport(*this, kSource, entry)
            .FileProblem("not imported: its table could not be opened.");
      } else if (!modShow::Exists(ctx_, path)) {
        WriteToLog("Source file was NOT found during import process.", kSource, -1);
      } else {
        importers::FileReport report(*this, kSource, entry);
        importers::RecordReader reader(ctx_.env.OpenForReading(path));
        importers::FramedRecords records(reader, kFraming);
        // First pass: the record total, for the bar and the count line.
        const std::int64_t total = records.Count();
        const std::string countTail =
            " of " + std::to_string(total) + (total == 1 ? " record" : " records") + " imported.";

        // One transaction per file, committed on every way out of this block.
        FileTransaction transaction(connection_.get());
        records.StopWhen(transaction);
        auto window = ctx_.ui.LoadFileProgress();
        window->SetStatus("Importing data from file: " +
                          modFileIO::GetFileTitle(ctx_, path, /*silent=*/true));
        window->Bar().SetMax(static_cast<std::int32_t>(
            std::min<std::int64_t>(total, std::numeric_limits<std::int32_t>::max())));
        window->Show();

        count = 0;
        Recordset& rs = *recordset_;
        // Nothing is compared: every record becomes a new row.
        importers::LookupRule addRule;
        addRule.alwaysAdd = true;
        importers::Record record;
        while (records.Next(record)) {
          const std::string_view head = record.head;
          const std::string_view fileId =
              importers::CleanView(importers::Slice(head, layout::kFileId));

          window->SetProgressText(std::to_string(count) + countTail);
          const importers::Landing landing = importers::PlaceRecord(rs, addRule);
          importers::RowWrite row(rs);
          if (landing == importers::Landing::NewRow) {
            row.Set(kFileId, importers::TextValue(fileId));
            row.Set(kFormName, TextField(head, layout::kFormId));
            row.Set(kFilename,
                    importers::TextValue(std::string(fileId) + layout::kReportExtension));
            row.Set(kFullpath, importers::TextValue(importers::CleanView(record.body)));
            row.Set(kOwner, TextField(head, layout::kOwner));
            row.Set(kStreet, TextField(head, layout::kStreet));
            row.Set(kCity, TextField(head, layout::kCity));
            row.Set(kState, db::Value::Text(""));
            row.Set(kZipCode, TextField(head, layout::kZipCode));
            row.Set(kCensus, TextField(head, layout::kCensusTract));
            row.Set(kNeighborhood, db::Value::Text(""));
            row.Set(kBuildingType, TextField(head, layout::kBuildingType));
            row.Set(kBuildingDesign, TextField(head, layout::kBuildingDesign));
            row.Set(kLenderId, TextField(head, layout::kLenderId));
            row.Set(kLenderCaseNo, TextField(head, layout::kLenderCaseNo));
            row.Set(kAppraiser, TextField(head, layout::kAppraiserId));
            row.Set(kDateReceived, DateField(head, layout::kDateReceived));
            row.Set(kDateAssigned, DateField(head, layout::kDateAssigned));
            row.Set(kDateDue, DateField(head, layout::kDateDue));
            row.Set(kDateDelivered, DateField(head, layout::kDateDelivered));
            row.Set(kTrackingExtra, TextField(head, layout::kTrackingExtra));
          }
          // Only a row actually saved counts as added.
          if (row.Finish(landing, report, record)) ++count;

          window->Bar().SetValue(window->Bar().Value() + 1);
          ctx_.ui.PumpEvents();
        }
        // A file rolled back saved none of its rows.
        if (!importers::FinishFile(report, records, reader, transaction)) count = 0;
      }

      AdvanceProgress();
    }

    WriteToLog(support::GroupedDigits(count) + " records added.", kSource, -1);
    return count;
  });
}
