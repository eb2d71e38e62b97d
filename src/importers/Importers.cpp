#include "importers/Importers.h"

namespace importers {

ImporterTable Table() {
  const Importer responses = [](ImportSession& s) { return ImportCommonResponses(s); };
  return {
      {DataType::CommonResponses, responses},
      {DataType::PrivateCommonResponses, responses},
      {DataType::GlobalResponses, responses},
      {DataType::PrivateGlobalResponses, responses},
      {DataType::FileIndex, [](ImportSession& s) { return ImportFileIndex(s) >= 0; }},
      {DataType::Lenders, [](ImportSession& s) { return ImportLenderInformation(s) >= 0; }},
      {DataType::Neighborhoods,
       [](ImportSession& s) { return ImportNeighborhoodInformation(s) >= 0; }},
      {DataType::Comparables, [](ImportSession& s) { return ImportZazOzurs(s) >= 0; }},
  };
}

}  // namespace importers
