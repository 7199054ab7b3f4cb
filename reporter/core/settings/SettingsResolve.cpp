#include "reporter/core/settings/Settings.h"

namespace ruvex {
namespace {

constexpr char16_t kDesignTimePackage[] = u"RuvexExceptIde_.bpl";

bool Links(const std::shared_ptr<TIRESettings>& s) { return s && s->IsValid() && s->LinkInSettings(); }

std::shared_ptr<TIRESettings> WithBlock(TSettingsEnvironment& env, ModuleHandle module) {
  if (!module || !env.Host().SettingsBlock(module)) return nullptr;
  return std::make_shared<TIRESettings>(env, module);
}

// The library's own block, then the design-time package, then the first
// loaded module (in address order) whose block links its settings in, or
// failing that the first module with a block.
std::shared_ptr<TIRESettings> SearchLinkedSettings(TSettingsEnvironment& env) {
  const ISettingsHost& host = env.Host();
  auto found = WithBlock(env, host.LibraryModule());
  if (Links(found)) return found;
  if (auto package = WithBlock(env, host.FindModule(kDesignTimePackage)); Links(package)) return package;
  std::shared_ptr<TIRESettings> first;
  for (ModuleHandle module : host.ModulesByAddress()) {
    auto candidate = WithBlock(env, module);
    if (!candidate) continue;
    if (Links(candidate)) return candidate;
    if (!first) first = candidate;
  }
  return found ? found : first;
}

}  // namespace

std::shared_ptr<TIRESettings> RESettings(TSettingsEnvironment& env, ModuleHandle module) {
  auto own = std::make_shared<TIRESettings>(env, module);
  if (Links(own)) return own;
  if (!own->IsValid() && !env.Host().PackageMode()) return own;
  auto searched = SearchLinkedSettings(env);
  return Links(searched) ? searched : own;
}

std::shared_ptr<TIRESettings> RESettingsForAddress(TSettingsEnvironment& env, std::uintptr_t address) {
  const ISettingsHost& host = env.Host();
  ModuleHandle module = host.ModuleOfAddress(address);
  if (module && module != host.LibraryModule())
    if (auto own = WithBlock(env, module); Links(own)) return own;
  if (auto searched = SearchLinkedSettings(env); Links(searched)) return searched;
  return std::make_shared<TIRESettings>(env, host.LibraryModule());
}

}  // namespace ruvex
