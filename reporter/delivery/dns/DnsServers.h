#pragma once
// The DNS servers the system is configured with.
#include <string>
#include <string_view>
#include <vector>

namespace ruvex {

// The current server first, then every other one, without repeats; empty
// when the system names none (the lookup then starts from the roots).
std::vector<std::string> SystemDnsServers();

// A server list kept in one text: split at "," when it holds one, else at
// blanks; empty items are dropped.
std::vector<std::string> SplitServerList(std::string_view list);

// The addresses of the "nameserver" lines of a resolv.conf text.
std::vector<std::string> ResolvConfServers(std::string_view text);

}  // namespace ruvex
