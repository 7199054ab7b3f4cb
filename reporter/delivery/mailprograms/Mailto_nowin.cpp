#include "reporter/delivery/mailprograms/Mailto.h"

namespace ruvex {
namespace {

// No mailto handler is registered off Windows.
class TNoMailtoHost final : public IMailtoHost {
 public:
  std::optional<std::u16string> OpenCommand() override { return std::nullopt; }
  bool StartProcess(const std::u16string&) override { return false; }
};

}  // namespace

IMailtoHost& SystemMailtoHost() {
  static TNoMailtoHost host;
  return host;
}

}  // namespace ruvex
