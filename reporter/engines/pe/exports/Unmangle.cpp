#include "reporter/engines/pe/exports/Unmangle.h"

namespace ruvex {
namespace {

template <class S>
S Literal(const char* text) {
  S out;
  for (; *text; ++text) out.push_back(static_cast<typename S::value_type>(*text));
  return out;
}

template <class S>
S TrimBlanks(const S& s) {
  std::size_t begin = 0, end = s.size();
  while (begin < end && static_cast<unsigned>(s[begin]) <= 32) ++begin;
  while (end > begin && static_cast<unsigned>(s[end - 1]) <= 32) --end;
  return s.substr(begin, end - begin);
}

template <class S>
bool Unmangle(const S& name, S& readable, S& unit) {
  using C = typename S::value_type;
  unit.clear();
  if (name.empty() || name[0] != C('@')) {
    readable = name;
    return false;
  }

  S s;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] == C(':') && i + 1 < name.size() && name[i + 1] == C(':')) {
      s.push_back(C('.'));
      ++i;
    } else {
      s.push_back(name[i]);
    }
  }

  // A template name keeps what follows its last "%@" as a suffix.
  S suffix;
  if (s.size() > 1 && s[1] == C('%')) {
    const std::size_t at = s.rfind(Literal<S>("%@"));
    if (at != S::npos && at >= 2) suffix = Literal<S>(".") + s.substr(at + 2);
  }

  std::size_t start = 2;
  if (s.size() > 6 && s.compare(0, 3, Literal<S>("@_$")) == 0) {
    const std::size_t at = s.find(Literal<S>("$@"), 4);
    if (at != S::npos) start = at + 1;
  }

  bool endedAtParameters = false, destructor = false, haveUnit = false;
  for (std::size_t i = start; i < s.size(); ++i) {
    if (s[i] == C('$')) {
      destructor = i + 2 < s.size() && s[i + 2] == C('d');
      s = s.substr(0, i) + suffix;
      endedAtParameters = true;
      break;
    }
    if (s[i] == C('@')) {
      s[i] = C('.');
      if (!haveUnit) {
        unit = s.substr(1, i - 1);
        haveUnit = true;
      }
    }
  }

  if (haveUnit && s.size() > unit.size() + 2) {
    s.erase(0, unit.size() + 2);
  } else {
    unit.clear();
    if (endedAtParameters) s.erase(0, 1);
  }

  if (!s.empty() && s[0] == C('%')) s.erase(0, 1);
  if (!s.empty() && s[0] == C('.')) s[0] = C('@');

  if (!s.empty() && s.back() == C('.')) s += Literal<S>(destructor ? "Destroy" : "Create");
  s = TrimBlanks(s);
  if (!s.empty() && s.back() == C('.')) s.push_back(C('?'));
  readable = s;
  return true;
}

}  // namespace

bool UnmangleName(const std::string& name, std::string& readable, std::string& unit) {
  return Unmangle(name, readable, unit);
}

bool UnmangleName(const std::u16string& name, std::u16string& readable, std::u16string& unit) {
  return Unmangle(name, readable, unit);
}

}  // namespace ruvex
