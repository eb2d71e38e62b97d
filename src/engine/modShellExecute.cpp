#include "engine/modShellExecute.h"

#include "support/ErrorReport.h"

namespace modShellExecute {

std::optional<std::int32_t> RunAndWait(const platform::Context& ctx, const std::string& program,
                                       const std::vector<std::string>& arguments,
                                       std::string& reason) {
  return support::Guard<support::NoStage>(
      std::optional<std::int32_t>{},
      [&]() -> std::optional<std::int32_t> {
        std::optional<int> status = ctx.env.RunProcess(program, arguments, true, reason);
        if (!status) return std::nullopt;
        return static_cast<std::int32_t>(*status);
      },
      [&](const char* what, int) { reason = what; });
}

}  // namespace modShellExecute
