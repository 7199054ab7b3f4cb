#pragma once
// Writes a settings block into an executable's resources.
#include <string>

// Replaces (or adds) the RCDATA resource "TRUVEXEXCEPT" of `target`.
// Returns an empty text on success, else what went wrong.
std::string EmbedSettingsBlock(const std::string& targetUtf8, const std::string& block);
