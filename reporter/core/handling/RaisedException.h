#pragma once
// What the faulting thread knows of the exception it hands over: the class
// with its ancestors and the message. A request's exception object points
// to one; it lives on the faulting thread until the request is done.
#include <cstdint>
#include <string>
#include <vector>

namespace ruvex {

struct TRaisedException {
  std::vector<std::u16string> classChain;  // the class first, then its ancestors
  std::u16string message;
  // The thrown object itself (C++ exceptions), so that one object is known
  // as the same when it comes by twice.
  std::uintptr_t thrownObject = 0;
};

}  // namespace ruvex
