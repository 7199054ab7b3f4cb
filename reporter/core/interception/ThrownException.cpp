#include "reporter/core/interception/ThrownException.h"

#include <cxxabi.h>

#include <cstdlib>

#include "common/text/Utf.h"
#include "reporter/core/interception/RuvexException.h"

namespace ruvex {
namespace {

// Deep enough for any real hierarchy; a broken type chain cannot loop.
constexpr std::size_t kMaxClassDepth = 32;

std::u16string Demangled(const std::type_info& type) {
  int status = 0;
  char* name = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
  std::u16string text = kelvane::Utf8ToUtf16(status == 0 && name ? name : type.name());
  std::free(name);
  return text;
}

}  // namespace

std::u16string ClassNameWithoutNamespace(std::u16string name) {
  if (name.find(u'<') != std::u16string::npos) return name;
  const std::size_t scope = name.rfind(u"::");
  return scope == std::u16string::npos ? name : name.substr(scope + 2);
}

std::vector<std::u16string> ThrownClassChain(const std::type_info* type) {
  std::vector<std::u16string> chain;
  while (type && chain.size() < kMaxClassDepth) {
    chain.push_back(ClassNameWithoutNamespace(Demangled(*type)));
    if (auto* single = dynamic_cast<const abi::__si_class_type_info*>(type))
      type = single->__base_type;
    else if (auto* multiple = dynamic_cast<const abi::__vmi_class_type_info*>(type))
      type = multiple->__base_count > 0 ? multiple->__base_info[0].__base_type : nullptr;
    else
      type = nullptr;
  }
  return chain;
}

std::u16string ThrownMessage(const std::exception_ptr& thrown) {
  if (!thrown) return {};
  try {
    std::rethrow_exception(thrown);
  } catch (const RuvexException& e) {
    return e.Message();
  } catch (const std::exception& e) {
    return kelvane::Utf8ToUtf16(e.what());
  } catch (...) {
  }
  return {};
}

}  // namespace ruvex
