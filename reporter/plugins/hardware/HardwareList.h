#pragma once
// The installed hardware: present devices grouped by class, sorted, each
// with its driver's version when the driver is not the system's own.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruvex {

// The registry properties of one device as the setup functions give them;
// none where the device has no such property.
struct TDeviceProperties {
  std::optional<std::u16string> className;     // SPDRP_CLASS
  std::optional<std::u16string> hardwareId;    // SPDRP_HARDWAREID, its first string
  std::optional<std::u16string> classGuid;     // SPDRP_CLASSGUID
  std::optional<std::u16string> friendlyName;  // SPDRP_FRIENDLYNAME
  std::optional<std::u16string> description;   // SPDRP_DEVICEDESC
  std::optional<std::u16string> driver;        // SPDRP_DRIVER
};

// What the list asks of the system: the setup functions and the machine's
// registry (HKEY_LOCAL_MACHINE). Failures read as none or empty.
class IHardwareSystem {
 public:
  virtual ~IHardwareSystem() = default;
  // Every present device of every class.
  virtual std::vector<TDeviceProperties> PresentDevices() = 0;
  virtual std::u16string RegistryText(std::u16string_view key, std::u16string_view value) = 0;
  // The raw bytes of a value.
  virtual std::optional<std::string> RegistryBytes(std::u16string_view key, std::u16string_view value) = 0;
};

inline constexpr char16_t kDeviceClassKey[] = u"System\\CurrentControlSet\\Control\\Class\\";

struct TDeviceEntry {
  std::u16string text;
  std::u16string driverKey;  // empty without a driver
};

struct TDeviceClass {
  std::u16string text;
  std::vector<TDeviceEntry> devices;
};

// Devices that are listed, under their class, classes and devices sorted.
std::vector<TDeviceClass> GatherHardware(IHardwareSystem& system);
// Adds `device` under `classText` keeping both orders; duplicates are kept.
void AddDevice(std::vector<TDeviceClass>& classes, const std::u16string& classText, TDeviceEntry device);
std::u16string FormatHardwareList(const std::vector<TDeviceClass>& classes, IHardwareSystem& system);

// The plug-in "hardware": the list of this machine; empty off Windows.
std::u16string HardwareListPlugin();

}  // namespace ruvex
