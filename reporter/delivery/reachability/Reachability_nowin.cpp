#include "reporter/delivery/reachability/Reachability.h"

namespace ruvex {
namespace {

// Off Windows raw sockets need privileges this program never asks for;
// the check answers as a failed echo.
class TNoProbe final : public IReachabilityProbe {
 public:
  bool Echo(const TReachabilityOptions&) override { return false; }
  bool AttemptConnect() override { return false; }
};

}  // namespace

IReachabilityProbe& SystemReachabilityProbe() {
  static TNoProbe probe;
  return probe;
}

}  // namespace ruvex
