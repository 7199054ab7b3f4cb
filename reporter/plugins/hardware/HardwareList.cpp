#include "reporter/plugins/hardware/HardwareList.h"

#include <algorithm>

#include "common/text/Windows1252.h"
#include "reporter/plugins/lists/ListText.h"

namespace ruvex {

namespace {

constexpr std::uint8_t kHiddenCharacteristic = 0x8;

bool SkippedClass(const std::u16string& className) {
  return className == u"LegacyDriver" || className == u"Unknown" || className == u"Volume";
}

bool Hidden(IHardwareSystem& system, const std::u16string& driverKey) {
  if (driverKey.empty()) return false;
  const auto bytes = system.RegistryBytes(driverKey, u"Characteristics");
  return bytes && bytes->size() == 4 && (static_cast<std::uint8_t>((*bytes)[0]) & kHiddenCharacteristic) != 0;
}

std::u16string ClassText(IHardwareSystem& system, const TDeviceProperties& device) {
  std::u16string text = device.classGuid.value_or(u"");
  if (text.empty()) return text;
  std::u16string shown = system.RegistryText(kDeviceClassKey + text, u"");
  return shown.empty() ? text : shown;
}

template <class T>
typename std::vector<T>::iterator InsertionPoint(std::vector<T>& items, const std::u16string& text) {
  auto it = items.begin();
  while (it != items.end() && CompareListText(it->text, text) < 0) ++it;
  return it;
}

std::u16string DriverSuffix(IHardwareSystem& system, const std::u16string& driverKey) {
  if (driverKey.empty()) return {};
  const std::u16string provider = system.RegistryText(driverKey, u"ProviderName");
  if (provider.empty() || provider.front() == u'(' || kelvane::EqualsIgnoreCase(provider, u"Microsoft")) return {};
  std::u16string version = system.RegistryText(driverKey, u"DriverVersion");
  if (version.empty()) version = system.RegistryText(driverKey, u"DriverDate");
  version = TrimBlanks(version);
  return version.empty() ? std::u16string() : u" (driver " + version + u")";
}

}  // namespace

void AddDevice(std::vector<TDeviceClass>& classes, const std::u16string& classText, TDeviceEntry device) {
  // Classes that differ in case only stay apart; the same text is one class.
  auto at = std::find_if(classes.begin(), classes.end(), [&](const TDeviceClass& c) { return c.text == classText; });
  if (at == classes.end()) at = classes.insert(InsertionPoint(classes, classText), TDeviceClass{classText, {}});
  auto& devices = at->devices;
  devices.insert(InsertionPoint(devices, device.text), std::move(device));
}

std::vector<TDeviceClass> GatherHardware(IHardwareSystem& system) {
  std::vector<TDeviceClass> classes;
  for (const TDeviceProperties& device : system.PresentDevices()) {
    if (SkippedClass(device.className.value_or(u""))) continue;
    if (kelvane::StartsWithIgnoreCase(device.hardwareId.value_or(u""), u"sw\\")) continue;
    const std::u16string classText = ClassText(system, device);
    if (classText.empty()) continue;
    TDeviceEntry entry;
    entry.text = device.friendlyName && !device.friendlyName->empty() ? *device.friendlyName
                                                                       : device.description.value_or(u"");
    if (device.driver && !device.driver->empty()) entry.driverKey = kDeviceClassKey + *device.driver;
    if (Hidden(system, entry.driverKey)) continue;
    AddDevice(classes, classText, std::move(entry));
  }
  return classes;
}

std::u16string FormatHardwareList(const std::vector<TDeviceClass>& classes, IHardwareSystem& system) {
  std::vector<std::u16string> lines;
  for (const auto& deviceClass : classes) {
    lines.push_back(u"+ " + deviceClass.text);
    for (const auto& device : deviceClass.devices)
      lines.push_back(u"  - " + device.text + DriverSuffix(system, device.driverKey));
  }
  return JoinLines(lines);
}

}  // namespace ruvex
