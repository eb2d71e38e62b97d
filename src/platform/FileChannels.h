// Numbered open files, as the host language's file numbers: the caller of an
// import opens the log file, hands its number to the engine, and closes it.
// Number 0 is never used, so 0 means "no file".
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Env.h"

namespace platform {

class FileChannels {
 public:
  // Creates a new file and returns its number, 0 on failure (`reason` then
  // says why). An existing file is never opened, emptied or followed when it
  // is a link: when `path` is taken the same name with "-2", "-3", ... before
  // its extension is tried instead. `opened` receives the path created.
  std::int16_t Open(Env& env, const std::string& path, std::string* opened = nullptr,
                    std::string* reason = nullptr);
  // Appends bytes to an open number; false for an unknown number or a failed write.
  bool Write(std::int16_t number, std::string_view bytes);
  // Closes the number; false when it was not open or the close failed.
  bool Close(std::int16_t number);
  bool IsOpen(std::int16_t number) const { return files_.count(number) != 0; }

 private:
  std::map<std::int16_t, std::unique_ptr<WritableFile>> files_;
};

}  // namespace platform
