#include "tools/settings/EmbedResource.h"

// Rewriting a PE file's resource section is the system's job; elsewhere the
// block goes into the build through a resource script.
std::string EmbedSettingsBlock(const std::string&, const std::string&) {
  return "embedding into an executable needs Windows; use 'rc' and windres instead";
}
