#pragma once
// What the reporter tells of a C++ exception: its class with the ancestors,
// as the runtime's type information gives them, and its message.
#include <exception>
#include <string>
#include <typeinfo>
#include <vector>

namespace ruvex {

// Class names as the reporter compares them (filters, the abort class):
// without their namespace, so that "EAbort" is one wherever it is declared.
// Template names stay whole.
std::u16string ClassNameWithoutNamespace(std::u16string name);

// The class, then its first base at every step.
std::vector<std::u16string> ThrownClassChain(const std::type_info* type);

// The message of the reporter's own exceptions and of std::exception;
// empty for anything else.
std::u16string ThrownMessage(const std::exception_ptr& thrown);

}  // namespace ruvex
