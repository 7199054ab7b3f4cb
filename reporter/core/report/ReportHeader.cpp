#include "reporter/core/report/ReportHeader.h"

#include <atomic>

#include "common/text/Format.h"
#include "common/text/Windows1252.h"
#include "common/text/FileNames.h"
#include "reporter/core/report/ReportText.h"

namespace ruvex {

using kelvane::EqualsIgnoreCase;
using kelvane::FileNameOf;
namespace {

using kelvane::DecimalText;

std::u16string Collapsed(std::u16string_view text) {
  std::u16string result;
  for (char16_t c : text) {
    if (c == u' ' && !result.empty() && result.back() == u' ') continue;
    result.push_back(c);
  }
  return std::u16string(TrimBlanks(result));
}

std::u16string OneLineMessage(std::u16string_view message) {
  std::u16string text(message);
  for (char16_t& c : text)
    if (c == u'\r' || c == u'\n') c = u' ';
  return Collapsed(text);
}

std::u16string TwoDigits(int value) {
  std::u16string text = DecimalText(value);
  return text.size() < 2 ? u"0" + text : text;
}

std::u16string DriveText(const TDriveSpace& space) {
  return u"(" + std::u16string(1, space.drive) + u":) " + SizeText(space.freeBytes);
}

std::int64_t RoundedMegabytes(std::uint64_t bytes) {
  return static_cast<std::int64_t>(bytes / 1048576 + (bytes % 1048576 >= 524288 ? 1 : 0));
}

// Collects the fields in order; each value is computed in its own guarded
// step, and empty values are left out.
class THeaderBuilder {
 public:
  template <typename Compute>
  void Field(std::u16string_view name, Compute compute) {
    std::u16string value;
    try {
      value = compute();
    } catch (...) {
      return;  // a failing step omits only its own field
    }
    if (TrimBlanks(value).empty()) return;
    items_.emplace_back(std::u16string(name), std::u16string(TrimBlanks(value)));
  }
  template <typename Compute>
  void NamedField(Compute compute) {
    try {
      auto [name, value] = compute();
      if (!name.empty() && !TrimBlanks(value).empty())
        items_.emplace_back(std::move(name), std::u16string(TrimBlanks(value)));
    } catch (...) {
    }
  }
  std::size_t Count() const { return items_.size(); }
  TIREFields::TItem& Last() { return items_.back(); }
  std::vector<TIREFields::TItem> Take() { return std::move(items_); }

 private:
  std::vector<TIREFields::TItem> items_;
};

void AddSystemFields(THeaderBuilder& b, IHeaderSource& s) {
  b.Field(u"computer name", [&] { return s.ComputerName(); });
  b.Field(u"wts client name", [&] { return s.WtsClientName(); });
  b.Field(u"user name", [&] {
    std::u16string name = s.UserName();
    if (!name.empty() && s.UserIsAdministrator()) name += u"  <admin>";
    return name;
  });
  b.Field(u"registered owner", [&] {
    std::u16string owner = s.RegisteredOwner();
    const std::u16string organization = s.RegisteredOrganization();
    if (!organization.empty()) owner += u" / " + organization;
    return owner;
  });
  b.Field(u"operating system",
          [&] { return s.OperatingSystem() + u" build " + DecimalText(s.BuildNumber()); });
  b.Field(u"system language", [&] { return s.SystemLanguage(); });
  b.Field(u"system up time", [&] { return DurationText(s.SystemUpTimeMilliseconds() / 1000); });
  b.Field(u"program up time", [&] {
    const std::int64_t ms = s.ProgramUpTimeMilliseconds();
    std::u16string text = DurationText(ms / 1000);
    return text.empty() ? DecimalText(ms < 0 ? 0 : ms) + u" milliseconds" : text;
  });
  b.NamedField([&] {
    const std::u16string name = Collapsed(s.ProcessorName());
    const int count = CountProcessors([&](int n) { return s.HasProcessorKey(n); });
    if (count > 1) return TIREFields::TItem(u"processors", DecimalText(count) + u"x " + name);
    return TIREFields::TItem(u"processor", name);
  });
  b.Field(u"physical memory", [&] {
    const auto memory = s.PhysicalMemory();
    if (!memory) return std::u16string();
    return DecimalText(RoundedMegabytes(memory->freeBytes)) + u"/" +
           DecimalText(RoundedMegabytes(memory->totalBytes)) + u" MB (free/total)";
  });
  b.Field(u"system resources", [&] {
    const auto resources = s.SystemResources();
    if (!resources) return std::u16string();
    return TwoDigits(resources->gdi) + u"/" + TwoDigits(resources->user) + u" (gdi/user)";
  });
  b.Field(u"free disk space", [&] {
    const auto system = s.SystemDriveSpace();
    if (!system) return std::u16string();
    std::u16string text = DriveText(*system);
    if (const auto program = s.ProgramDriveSpace(); program && program->drive != system->drive)
      text += u" " + DriveText(*program);
    return text;
  });
  b.Field(u"display mode", [&] {
    const auto mode = s.DisplayMode();
    if (!mode) return std::u16string();
    return DecimalText(mode->width) + u"x" + DecimalText(mode->height) + u", " +
           DecimalText(static_cast<long long>(mode->bitsPerPixel) * mode->planes) + u" bit";
  });
  b.Field(u"process id", [&] { return DollarHex(s.ProcessId()); });
  b.Field(u"allocated memory", [&] { return SizeText(s.AllocatedMemory()); });
  b.Field(u"largest free block", [&] { return SizeText(s.LargestFreeBlock()); });
}

void AddProgramFields(THeaderBuilder& b, IHeaderSource& s, const THeaderFacts& facts) {
  if (facts.showCommandLine) b.Field(u"command line", [&] { return s.CommandLineWithParameters(); });
  std::u16string executable, module;
  try {
    executable = s.ExecutableFile();
    module = s.ModuleFile();
  } catch (...) {
  }
  const bool moduleIsExecutable = module.empty() || EqualsIgnoreCase(module, executable);
  b.Field(u"executable", [&] { return FileNameOf(executable); });
  if (!moduleIsExecutable) b.Field(u"current module", [&] { return FileNameOf(module); });
  const bool exec = facts.packageMode || moduleIsExecutable;
  const std::u16string dated = exec ? executable : module;
  b.Field(exec ? u"exec. date/time" : u"module date/time", [&] {
    const auto time = s.LastWriteTime(dated);
    return time ? FileDateTimeText(*time) : std::u16string();
  });
  const std::u16string versioned = moduleIsExecutable ? executable : module;
  b.Field(u"version", [&] { return !facts.versionVar.empty() ? facts.versionVar : s.FileVersion(versioned); });
  b.Field(u"bde version", [&] { return s.LoadedModuleVersion(u"idapi32.dll"); });
  b.Field(u"compiled with", [&] {
    // Fixed when the library is built; the linker generation tells the two
    // toolchain releases apart.
    return s.LinkerMajorVersion(versioned) >= 2 ? std::u16string(u"mingw-w64 GCC, C++20")
                                                : std::u16string(u"mingw-w64 GCC (old linker), C++20");
  });
  b.Field(u"RuvexExcept version", [] { return std::u16string(kReporterVersion); });
  for (const auto& plugin : facts.pluginFields)
    b.Field(plugin.first, [&] { return plugin.second ? plugin.second() : std::u16string(); });
}

void AddExceptionFields(THeaderBuilder& b, const THeaderFacts& facts) {
  b.Field(u"callstack crc", [] { return std::u16string(kCallstackCrcPending); });
  b.Field(u"exception number", [&] { return DecimalText(facts.exceptionNumber); });
  if (!facts.frozen) b.Field(u"exception class", [&] { return facts.exceptionClass; });
  b.Field(u"exception message", [&] {
    if (facts.frozen) return OneLineMessage(facts.frozenMessage);
    if (facts.exceptionMessage == facts.exceptionClass) return std::u16string();
    return OneLineMessage(ReportMessage(facts.exceptionMessage));
  });
}

}  // namespace

std::uint32_t NextExceptionNumber() {
  static std::atomic<std::uint32_t> built{0};
  return ++built;
}

std::u16string ReportMessage(std::u16string_view message) {
  while (!message.empty() && (message.back() == u'.' || message.back() == u'!')) message.remove_suffix(1);
  return std::u16string(message) + u".";
}

int CountProcessors(const std::function<bool(int)>& hasKey) {
  int lastPresent = 0;  // the last present multiple of 16
  while (lastPresent < 256 && hasKey(lastPresent + 16)) lastPresent += 16;
  if (lastPresent == 256) return 256;
  int number = lastPresent + 1;
  while (number < lastPresent + 16 && hasKey(number)) ++number;
  return number;
}

std::shared_ptr<TIREFields> BuildReportHeader(IHeaderSource& source, const THeaderFacts& facts) {
  THeaderBuilder builder;
  builder.Field(u"date/time", [&] { return ReportDateTimeText(facts.created); });
  AddSystemFields(builder, source);
  AddProgramFields(builder, source, facts);
  // Later fields (handlers, assistants, debug-information names) go in
  // here, in front of "callstack crc": the position counts the stored
  // fields only, whatever was left out above.
  const int addIndex = static_cast<int>(builder.Count());
  AddExceptionFields(builder, facts);
  auto header = std::make_shared<TIREFields>();
  header->Load(builder.Take());
  header->SetAddIndex(addIndex);
  return header;
}

}  // namespace ruvex
