// The DNS servers from the IP Helper's network parameters, loaded at run
// time as not every system has the library.
#include <winsock2.h>
#include <iphlpapi.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "reporter/delivery/dns/DnsServers.h"

namespace ruvex {
namespace {

class TLibrary {
 public:
  explicit TLibrary(const wchar_t* name) : module_(::LoadLibraryW(name)) {}
  ~TLibrary() {
    if (module_) ::FreeLibrary(module_);
  }
  TLibrary(const TLibrary&) = delete;
  TLibrary& operator=(const TLibrary&) = delete;
  void* Find(const char* name) const {
    return module_ ? reinterpret_cast<void*>(::GetProcAddress(module_, name)) : nullptr;
  }

 private:
  HMODULE module_;
};

void AddOnce(std::vector<std::string>& servers, const char* address) {
  const std::string text(address);
  if (!text.empty() && std::find(servers.begin(), servers.end(), text) == servers.end()) servers.push_back(text);
}

}  // namespace

std::vector<std::string> SystemDnsServers() {
  using TGetNetworkParams = DWORD(WINAPI*)(PFIXED_INFO, PULONG);
  const TLibrary library(L"IpHlpApi.dll");
  const auto getNetworkParams = reinterpret_cast<TGetNetworkParams>(library.Find("GetNetworkParams"));
  if (!getNetworkParams) return {};
  ULONG size = 0;
  if (getNetworkParams(nullptr, &size) != ERROR_BUFFER_OVERFLOW || size == 0) return {};
  // FIXED_INFO holds pointers: the buffer must be aligned for them.
  std::vector<std::uint64_t> buffer(size / sizeof(std::uint64_t) + 1);
  auto* info = reinterpret_cast<FIXED_INFO*>(buffer.data());
  if (getNetworkParams(info, &size) != ERROR_SUCCESS) return {};
  std::vector<std::string> servers;
  if (info->CurrentDnsServer) AddOnce(servers, info->CurrentDnsServer->IpAddress.String);
  for (const IP_ADDR_STRING* entry = &info->DnsServerList; entry; entry = entry->Next) AddOnce(servers, entry->IpAddress.String);
  return servers;
}

}  // namespace ruvex
