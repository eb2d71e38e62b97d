// Appraisal index: every record of every output file becomes a new FileIndex
// row (nothing is compared), while a file progress window counts the records.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "engine/DbConnection.h"
#include "engine/Recordset.h"
#include "importers/FieldDecoding.h"
#include "importers/FileDriver.h"
#include "importers/FileReport.h"
#include "importers/FramedRecords.h"
#include "importers/ImporterText.h"
#include "importers/Importers.h"
#include "importers/RowLanding.h"
#include "importers/layouts/FileIndexLayout.h"
#include "support/Conversions.h"
#include "support/ErrorReport.h"
#include "support/ResourceStrings.h"
#include "support/modFileIO.h"

namespace {

namespace layout = layouts::fileindex;

constexpr const char* kSource = "ImportFileIndex::CSImportEngine";

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

// An empty date text is blank, which the record set stores as NULL; a text
// naming no calendar day is refused by it and reported against the record.
db::Value DateField(std::string_view head, layouts::Field field) {
  return importers::DateValue(importers::Slice(head, field));
}

}  // namespace

namespace importers {

std::int32_t ImportFileIndex(ImportSession& session) {
  return Trapped<NoStage>(session, kSource, std::int32_t{-1}, [&](NoStage&) -> std::int32_t {
    const platform::Context& ctx = session.Context();
    // Rows saved from the last file read; a skipped file leaves it as it is.
    std::int32_t count = 0;
    session.CloseRecordset();
    const std::string table = ResourceString(res::kFileIndexTable);
    // Nothing is compared: every record becomes a new row.
    LookupRule addRule;
    addRule.alwaysAdd = true;

    ForEachOutputFile(
        session, session.OutputFiles(), Attempt::Plain, [&](const std::string& entry) {
          const std::string path = session.OutputFolder() + entry;
          FileTransaction transaction(session.Connection());
          if (OpenTableForFile(session, kSource, entry, TableQuery(table, res::kFileIndexOrder),
                               table) == 0 ||
              !SourceFileFound(session, kSource, path))
            return;
          Recordset& rs = *session.CurrentRecordset();
          FileProgress window(ctx, FileProgress::Plural::ByTotal);
          std::int64_t added = 0;  // rows saved so far
          const FileResult file = ImportFileRows(
              session, kSource, entry, path,
              {.framing = kFraming,
               .countFirst = true,
               .begun = &transaction,
               .opened =
                   [&](std::int64_t total) {
                     window.Show("Importing data from file: " +
                                     modFileIO::GetFileTitle(ctx, path, modFileIO::Errors::Silent),
                                 total);
                   },
               .land =
                   [&](const Record& record, FileReport& report, const FileTransaction&) {
                     const std::string_view head = record.head;
                     const std::string_view fileId = CleanView(Slice(head, layout::kFileId));
                     // Rows held back are counted as they will land, as a row saved at once is.
                     window.Count(added + std::ssize(report.held()));
                     const Landing landing = PlaceRecord(rs, addRule);
                     RowWrite row(rs);
                     if (landing == Landing::NewRow) {
                       row.Set(kFileId, TextValue(fileId));
                       row.Set(kFormName, TextField(head, layout::kFormId));
                       row.Set(kFilename,
                               TextValue(std::string(fileId) + layout::kReportExtension));
                       row.Set(kFullpath, TextValue(CleanView(record.body)));
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
                     const bool saved = row.Finish(landing, report, record);
                     window.Step();
                     return saved;
                   },
               .holdNewRows = true,
               // Only a row actually saved counts as added.
               .settled = [&](std::string_view, bool saved) { added += saved ? 1 : 0; }});
          // A file rolled back saved none of its rows.
          count = file.committed ? static_cast<std::int32_t>(std::min<std::int64_t>(
                                       file.saved, std::numeric_limits<std::int32_t>::max()))
                                 : 0;
        });

    session.WriteToLog(support::GroupedDigits(count) + " records added.", kSource, -1);
    return count;
  });
}

}  // namespace importers
