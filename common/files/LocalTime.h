#pragma once
// A moment in local time, broken down as the system reports it.
namespace kelvane {

struct TLocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
  bool operator==(const TLocalTime&) const = default;
};

}  // namespace kelvane
