#pragma once
// The launcher's message texts, exactly as users and tool chains see them.
namespace kelvane::resources {

// Help output, one line each.
inline constexpr char16_t kHelpSwitches[] = u"Switches: ";
inline constexpr char16_t kHelpConfigFile[] = u"Configuration file, example /configfile:C:\\Temp\\Kelvane.ini";
inline constexpr char16_t kHelpHelp[] = u"help, example /help";

inline constexpr char16_t kDebugManagerMissing[] = u"The Zarvel DBG manager [%s] doesn't exist!";

inline constexpr char16_t kInOutError[] = u"I/O error %d";
inline constexpr char16_t kInvalidRegistryType[] = u"Invalid data type for '%s'";
inline constexpr char16_t kCannotOpenFile[] = u"Cannot open file \"%s\". %s";

inline constexpr char16_t kInvalidPathCharacters[] = u"Invalid characters in path";
inline constexpr char16_t kInvalidFileNameCharacters[] = u"Invalid characters in file name";
inline constexpr char16_t kPathTooLong[] = u"The specified path is too long";

// The top-level error box.
inline constexpr char16_t kApplicationErrorTitle[] = u"Application Error";
inline constexpr char16_t kApplicationErrorText[] = u"Exception %s in module %s at %p.\r\n%s%s\r\n";

}  // namespace kelvane::resources
