#include <windows.h>

#include <setupapi.h>

#include <cstring>
#include <memory>
#include <vector>

#include "common/win/WinHandle_win.h"
#include "common/win/WinText_win.h"
#include "reporter/plugins/hardware/HardwareList.h"

namespace ruvex {

namespace {

using TGetClassDevs = HDEVINFO(WINAPI*)(const GUID*, PCWSTR, HWND, DWORD);
using TEnumDeviceInfo = BOOL(WINAPI*)(HDEVINFO, DWORD, PSP_DEVINFO_DATA);
using TGetDeviceRegistryProperty = BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, DWORD, PDWORD, PBYTE, DWORD, PDWORD);
using TDestroyDeviceInfoList = BOOL(WINAPI*)(HDEVINFO);

constexpr DWORD kPresentOfAllClasses = DIGCF_PRESENT | DIGCF_ALLCLASSES;

template <class T>
T Lookup(HMODULE module, const char* name) {
  return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The setup library for one enumeration: loaded, asked and freed again.
class TSetupFunctions {
 public:
  TSetupFunctions() : library_(LoadLibraryW(L"setupapi.dll")) {
    if (!library_) return;
    getClassDevs = Lookup<TGetClassDevs>(library_.Get(), "SetupDiGetClassDevsW");
    enumDeviceInfo = Lookup<TEnumDeviceInfo>(library_.Get(), "SetupDiEnumDeviceInfo");
    getProperty = Lookup<TGetDeviceRegistryProperty>(library_.Get(), "SetupDiGetDeviceRegistryPropertyW");
    destroyList = Lookup<TDestroyDeviceInfoList>(library_.Get(), "SetupDiDestroyDeviceInfoList");
  }
  bool Complete() const { return getClassDevs && enumDeviceInfo && getProperty && destroyList; }

  TGetClassDevs getClassDevs = nullptr;
  TEnumDeviceInfo enumDeviceInfo = nullptr;
  TGetDeviceRegistryProperty getProperty = nullptr;
  TDestroyDeviceInfoList destroyList = nullptr;

 private:
  kelvane::TLibrary library_;
};

std::optional<std::u16string> DeviceText(const TSetupFunctions& setup, HDEVINFO list, SP_DEVINFO_DATA& device,
                                         DWORD property) {
  DWORD size = 0;
  setup.getProperty(list, &device, property, nullptr, nullptr, 0, &size);
  if (size == 0) return std::nullopt;
  std::vector<wchar_t> text(size / sizeof(wchar_t) + 2, L'\0');
  if (!setup.getProperty(list, &device, property, nullptr, reinterpret_cast<PBYTE>(text.data()),
                         static_cast<DWORD>((text.size() - 2) * sizeof(wchar_t)), nullptr))
    return std::nullopt;
  return kelvane::FromWide(text.data());  // a multi-string gives its first string
}

class TRegistryKey {
 public:
  explicit TRegistryKey(std::u16string_view path) {
    const std::u16string key(path);
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kelvane::Wide(key), 0, KEY_READ, &key_) != ERROR_SUCCESS) key_ = nullptr;
  }
  ~TRegistryKey() {
    if (key_) RegCloseKey(key_);
  }
  TRegistryKey(const TRegistryKey&) = delete;
  TRegistryKey& operator=(const TRegistryKey&) = delete;

  std::optional<std::string> Bytes(std::u16string_view value, DWORD* type = nullptr) const {
    if (!key_) return std::nullopt;
    const std::u16string name(value);
    DWORD size = 0;
    if (RegQueryValueExW(key_, kelvane::WideOrNull(name), nullptr, type, nullptr, &size) != ERROR_SUCCESS)
      return std::nullopt;
    std::string bytes(size, '\0');
    if (RegQueryValueExW(key_, kelvane::WideOrNull(name), nullptr, type, reinterpret_cast<BYTE*>(bytes.data()),
                         &size) != ERROR_SUCCESS)
      return std::nullopt;
    bytes.resize(size);
    return bytes;
  }

 private:
  HKEY key_ = nullptr;
};

class TWinHardwareSystem final : public IHardwareSystem {
 public:
  std::vector<TDeviceProperties> PresentDevices() override {
    std::vector<TDeviceProperties> devices;
    TSetupFunctions setup;
    if (!setup.Complete()) return devices;
    HDEVINFO list = setup.getClassDevs(nullptr, nullptr, nullptr, kPresentOfAllClasses);
    if (list == INVALID_HANDLE_VALUE) return devices;
    const std::unique_ptr<void, TDestroyDeviceInfoList> destroyer(list, setup.destroyList);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; setup.enumDeviceInfo(list, index, &device); ++index) {
      devices.push_back({DeviceText(setup, list, device, SPDRP_CLASS), DeviceText(setup, list, device, SPDRP_HARDWAREID),
                         DeviceText(setup, list, device, SPDRP_CLASSGUID),
                         DeviceText(setup, list, device, SPDRP_FRIENDLYNAME),
                         DeviceText(setup, list, device, SPDRP_DEVICEDESC), DeviceText(setup, list, device, SPDRP_DRIVER)});
    }
    return devices;
  }

  std::u16string RegistryText(std::u16string_view key, std::u16string_view value) override {
    DWORD type = 0;
    const auto bytes = TRegistryKey(key).Bytes(value, &type);
    if (!bytes || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
    std::u16string text(bytes->size() / 2, u'\0');
    std::memcpy(text.data(), bytes->data(), text.size() * 2);
    // Stored strings may or may not end in a terminator.
    text.resize(std::char_traits<char16_t>::length(text.c_str()));
    return text;
  }

  std::optional<std::string> RegistryBytes(std::u16string_view key, std::u16string_view value) override {
    return TRegistryKey(key).Bytes(value);
  }
};

}  // namespace

std::u16string HardwareListPlugin() {
  try {
    TWinHardwareSystem system;
    return FormatHardwareList(GatherHardware(system), system);
  } catch (...) {
    // A plug-in never raises: a failed list is an empty one.
    return {};
  }
}

}  // namespace ruvex
