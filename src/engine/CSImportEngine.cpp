#include "engine/CSImportEngine.h"

#include "engine/DbConnection.h"
#include "engine/Recordset.h"
#include "support/ResourceStrings.h"

CSImportEngine::CSImportEngine(const platform::Context& ctx, ImporterTable importers)
    : ctx_(ctx), importers_(std::move(importers)) {}

CSImportEngine::~CSImportEngine() {
  CloseRecordset();
  CloseConnection();
  sourceFiles_.clear();
  outputFiles_.clear();
}

void CSImportEngine::Configure(::DataType dataType, const std::string& database,
                               const std::string& outputFolder, const std::string& source,
                               const std::string& extractor, std::int16_t logfile,
                               bool leaveOutputFiles, bool noComparisons, bool terminateRecords) {
  Trapped("CSImportEngine::CSImportEngine", false, [&] {
    // Logfile first, so a failure further on can already be logged.
    SetLogfile(logfile);
    // An empty folder becomes "\" too: it does not end in '\'.
    if (outputFolder.empty() || outputFolder.back() != '\\') {
      SetOutputFolder(outputFolder + "\\");
    } else {
      SetOutputFolder(outputFolder);
    }
    SetLeaveOutputFiles(leaveOutputFiles);
    SetTerminateRecords(terminateRecords);
    SetNoComparisons(noComparisons);
    SetOutputDatabase(database);
    SetSource(source);
    SetExtractor(extractor);
    SetDataType(dataType);
    return true;
  });
}

std::string CSImportEngine::GetDataType(std::int16_t dataType) {
  return Trapped("GetDataType::CSImportEngine", std::string("Unknown"), [&] {
    std::string name = ResourceString(res::kDataTypeNameBase + dataType);
    return name.empty() ? std::string("Unknown") : name;
  });
}

bool CSImportEngine::DatabaseFailed() {
  if (!connection_) return false;
  const std::string condition = connection_->FatalCondition();
  if (condition.empty()) return false;
  if (!databaseFailureLogged_) {
    databaseFailureLogged_ = true;
    FailRun("The database cannot be used: " + condition + ". The import stops.");
  }
  return true;
}

void CSImportEngine::SetConflictPolicy(ConflictPolicy value) {
  conflictPolicy_ = value;
  keepAllExisting_ = value == ConflictPolicy::KeepAll;
  overwriteAllConflicts_ = value == ConflictPolicy::OverwriteAll;
}
