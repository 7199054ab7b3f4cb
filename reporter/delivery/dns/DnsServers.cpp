#include "reporter/delivery/dns/DnsServers.h"

namespace ruvex {
namespace {

std::vector<std::string> Split(std::string_view text, std::string_view separators) {
  std::vector<std::string> items;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of(separators, start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view item = text.substr(start, end - start);
    while (!item.empty() && (item.front() == ' ' || item.front() == '\t')) item.remove_prefix(1);
    while (!item.empty() && (item.back() == ' ' || item.back() == '\t' || item.back() == '\r')) item.remove_suffix(1);
    if (!item.empty()) items.emplace_back(item);
    start = end + 1;
  }
  return items;
}

}  // namespace

std::vector<std::string> SplitServerList(std::string_view list) {
  return Split(list, list.find(',') != std::string_view::npos ? "," : " \t");
}

std::vector<std::string> ResolvConfServers(std::string_view text) {
  std::vector<std::string> servers;
  for (const auto& line : Split(text, "\n")) {
    const auto words = Split(line, " \t");
    if (words.size() >= 2 && words[0] == "nameserver") servers.push_back(words[1]);
  }
  return servers;
}

}  // namespace ruvex
