#include "reporter/plugins/hardware/HardwareList.h"

#include <gtest/gtest.h>

#include <map>

using namespace ruvex;

namespace {

// The setup functions' devices and the registry as tables.
class TFakeHardwareSystem final : public IHardwareSystem {
 public:
  std::vector<TDeviceProperties> devices;
  std::map<std::pair<std::u16string, std::u16string>, std::u16string> texts;
  std::map<std::u16string, std::string> characteristics;

  std::vector<TDeviceProperties> PresentDevices() override { return devices; }
  std::u16string RegistryText(std::u16string_view key, std::u16string_view value) override {
    auto it = texts.find({std::u16string(key), std::u16string(value)});
    return it == texts.end() ? std::u16string() : it->second;
  }
  std::optional<std::string> RegistryBytes(std::u16string_view key, std::u16string_view value) override {
    if (value != u"Characteristics") return std::nullopt;
    auto it = characteristics.find(std::u16string(key));
    return it == characteristics.end() ? std::nullopt : std::optional(it->second);
  }
  void Driver(const std::u16string& driver, std::u16string provider, std::u16string version, std::u16string date = {}) {
    const std::u16string key = kDeviceClassKey + driver;
    texts[{key, u"ProviderName"}] = std::move(provider);
    texts[{key, u"DriverVersion"}] = std::move(version);
    texts[{key, u"DriverDate"}] = std::move(date);
  }
};

TDeviceProperties Device(std::u16string guid, std::u16string friendly, std::u16string description = {},
                         std::u16string driver = {}, std::u16string className = u"X", std::u16string id = u"PCI\\1") {
  TDeviceProperties d;
  d.className = std::move(className);
  d.hardwareId = std::move(id);
  d.classGuid = std::move(guid);
  if (!friendly.empty()) d.friendlyName = std::move(friendly);
  d.description = std::move(description);
  if (!driver.empty()) d.driver = std::move(driver);
  return d;
}

TEST(HardwareList, PinnedListSortedWithDriverSuffixes) {
  TFakeHardwareSystem system;
  const std::u16string disk = u"{4d36e967-e325-11ce-bfc1-08002be10318}";
  const std::u16string display = u"{4d36e968-e325-11ce-bfc1-08002be10318}";
  const std::u16string mystery = u"{00000000-0000-0000-0000-000000000001}";
  system.texts[{kDeviceClassKey + disk, u""}] = u"Disk drives";
  system.texts[{kDeviceClassKey + display, u""}] = u"Display adapters";
  system.devices = {
      Device(display, u"Vendor GPU", u"", u"{d}\\0000"),
      Device(disk, u"", u"Generic disk", u"{k}\\0001"),
      Device(disk, u"Generic disk", u"", u"{k}\\0002"),
      Device(disk, u"another disk", u"", u"{k}\\0003"),
      Device(mystery, u"Odd thing"),                                    // class shown by its GUID
      Device(display, u"Hidden adapter", u"", u"{d}\\0009"),            // Characteristics bit 0x8
      Device(disk, u"Legacy", u"", u"", u"LegacyDriver"),               // skipped classes
      Device(disk, u"Vol", u"", u"", u"Volume"),
      Device(disk, u"Soft", u"", u"", u"DiskDrive", u"SW\\{abc}"),     // software-enumerated
      Device(u"", u"No class"),                                         // no class text
  };
  system.characteristics[kDeviceClassKey + std::u16string(u"{d}\\0009")] = std::string("\x08\x00\x00\x00", 4);
  system.Driver(u"{d}\\0000", u"Vendor Inc.", u" 31.0.15.1 ");
  system.Driver(u"{k}\\0001", u"microsoft", u"10.0.1");
  system.Driver(u"{k}\\0002", u"(Standard disk drives)", u"10.0.2");
  system.Driver(u"{k}\\0003", u"Disk Maker", u"", u"6-21-2006");
  EXPECT_EQ(FormatHardwareList(GatherHardware(system), system),
            u"+ Disk drives\r\n"
            u"  - another disk (driver 6-21-2006)\r\n"
            u"  - Generic disk\r\n"
            u"  - Generic disk\r\n"
            u"+ Display adapters\r\n"
            u"  - Vendor GPU (driver 31.0.15.1)\r\n"
            u"+ {00000000-0000-0000-0000-000000000001}\r\n"
            u"  - Odd thing");
}

TEST(HardwareList, ClassesInsertBeforeTheFirstNotLessAndReuseExactText) {
  std::vector<TDeviceClass> classes;
  for (const char16_t* name : {u"Ports", u"Mice", u"ports", u"Ports", u"Zip"}) AddDevice(classes, name, {name, {}});
  std::vector<std::u16string> order;
  for (const auto& c : classes) order.push_back(c.text + u":" + std::u16string(1, char16_t(u'0' + c.devices.size())));
  EXPECT_EQ(order, (std::vector<std::u16string>{u"Mice:1", u"ports:1", u"Ports:2", u"Zip:1"}));
  TFakeHardwareSystem none;
  EXPECT_EQ(FormatHardwareList({}, none), u"");
}

}  // namespace
