// Off Windows the system's resolver configuration names the servers.
#include <fstream>
#include <sstream>

#include "reporter/delivery/dns/DnsServers.h"

namespace ruvex {

std::vector<std::string> SystemDnsServers() {
  std::ifstream in("/etc/resolv.conf");
  std::ostringstream text;
  text << in.rdbuf();
  return ResolvConfServers(text.str());
}

}  // namespace ruvex
