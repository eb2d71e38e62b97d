#include "engine/DirectImport.h"

#include <utility>

#include "engine/CSImportEngine.h"

bool DirectImport::Connect(CSImportEngine& engine) {
  return engine.OpenConnection("", "", "", "", false);
}

void DirectImport::Disconnect(CSImportEngine& engine) {
  engine.CloseConnection();
}

void DirectImport::ListOutputFiles(CSImportEngine& engine, std::vector<std::string> names) {
  engine.outputFiles_ = std::move(names);
}

bool DirectImport::ImportListed(CSImportEngine& engine) {
  return engine.ImportSourceFiles();
}
