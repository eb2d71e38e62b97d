#include "engine/CSImportEngine.h"

// The import pipeline is not built yet; until it is, no run can succeed.
bool CSImportEngine::Import() {
  return false;
}
