#include "reporter/delivery/mailprograms/MapiMail.h"

namespace ruvex {
namespace {

// Simple MAPI exists on Windows only.
class TNoMapiHost final : public IMapiHost {
 public:
  std::optional<std::uint32_t> SendMail(const TMapiPlan&, kelvane::TWindowHandle) override { return std::nullopt; }
};

}  // namespace

IMapiHost& SystemMapiHost() {
  static TNoMapiHost host;
  return host;
}

}  // namespace ruvex
