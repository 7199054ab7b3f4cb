#include "launcher/platform/FakePlatform.h"

#include "common/text/Utf.h"
#include "common/text/Windows1252.h"

namespace kelvane {
namespace {

// A small locale-like case mapping: ASCII, Latin-1, Latin Extended-A, Greek
// and Cyrillic, enough to show that lookups are not ASCII-only.
char16_t ToUpper(char16_t c) {
  if (c >= u'a' && c <= u'z') return c - 32;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) {
    const bool evenUpper = (c <= 0x137) || (c >= 0x14A && c <= 0x177);
    const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (evenUpper && (c & 1)) return c - 1;
    if (oddUpper && !(c & 1)) return c - 1;
    return c;
  }
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 32;
  if (c >= 0x430 && c <= 0x44F) return c - 32;
  if (c >= 0x450 && c <= 0x45F) return c - 80;
  return c;
}

char16_t ToLower(char16_t c) {
  if (c >= u'A' && c <= u'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  if (c == 0x178) return 0xFF;
  if (c >= 0x100 && c <= 0x17F) {
    const bool evenUpper = (c <= 0x137) || (c >= 0x14A && c <= 0x177);
    const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (evenUpper && !(c & 1)) return c + 1;
    if (oddUpper && (c & 1)) return c + 1;
    return c;
  }
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;
  if (c >= 0x410 && c <= 0x42F) return c + 32;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  return c;
}

bool IsRooted(const std::u16string& path) {
  return (!path.empty() && (path[0] == u'\\' || path[0] == u'/')) || (path.size() >= 2 && path[1] == u':');
}

// Registry errors, numbered as Windows numbers them.
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorSharingViolation = 32;

class FakeKey : public IRegistryKey {
 public:
  FakeKey(FakePlatform& platform, FakePlatform::RegistryKeyNode& node, std::uint32_t access)
      : platform_(platform), node_(node), access_(access) {}

  std::optional<RegistryValue> QueryValue(const std::u16string& name) override {
    if (!(access_ & kKeyQueryValue)) return std::nullopt;
    const auto it = node_.values.find(platform_.UpperCase(name));
    if (it == node_.values.end()) return std::nullopt;
    return it->second;
  }

  std::vector<std::u16string> SubkeyNames() override {
    if (!(access_ & kKeyEnumerateSubKeys)) return {};
    return node_.subkeyOrder;
  }

 private:
  FakePlatform& platform_;
  FakePlatform::RegistryKeyNode& node_;
  std::uint32_t access_;
};

std::vector<std::u16string> SplitKeyPath(const std::u16string& path) {
  std::vector<std::u16string> parts;
  std::u16string part;
  for (char16_t c : path) {
    if (c == u'\\') {
      parts.push_back(part);
      part.clear();
    } else {
      part.push_back(c);
    }
  }
  if (!path.empty()) parts.push_back(part);
  return parts;
}

}  // namespace

FakePlatform::FakePlatform() = default;

std::u16string FakePlatform::FullPathName(const std::u16string& path) {
  if (path.empty() || IsRooted(path)) return path;
  std::u16string full = currentDirectory;
  if (!full.empty() && full.back() != u'\\') full.push_back(u'\\');
  return full + path;
}

std::u16string FakePlatform::Key(const std::u16string& path) const {
  return const_cast<FakePlatform*>(this)->UpperCase(const_cast<FakePlatform*>(this)->FullPathName(path));
}

FakePlatform::File& FakePlatform::AddFile(const std::u16string& path, std::string content) {
  File& file = files_[Key(path)];
  file = File{};
  file.content = std::move(content);
  return file;
}

void FakePlatform::AddDirectory(const std::u16string& path) { AddFile(path).directory = true; }

void FakePlatform::AddLink(const std::u16string& path, const std::u16string& target) {
  AddFile(path).linkTo = FullPathName(target);
}

const FakePlatform::File* FakePlatform::FindFile(const std::u16string& path) const {
  const auto it = files_.find(Key(path));
  return it == files_.end() ? nullptr : &it->second;
}

bool FakePlatform::FileExists(const std::u16string& path) {
  const File* file = FindFile(path);
  if (!file || file->directory) return false;
  if (file->linkTo) {
    // A link exists when its target opens for reading, or is merely locked.
    const File* target = FindFile(*file->linkTo);
    return target && !target->directory && !target->accessDenied;
  }
  return true;
}

std::uint32_t FakePlatform::ReadFileDenyingWriters(const std::u16string& path, std::string& bytes) {
  const File* file = FindFile(path);
  for (int hops = 0; file && file->linkTo && hops < 8; ++hops) file = FindFile(*file->linkTo);
  if (!file || file->linkTo) return kErrorFileNotFound;
  if (file->directory || file->accessDenied) return kErrorAccessDenied;
  if (file->locked) return kErrorSharingViolation;
  bytes = file->content;
  return 0;
}

std::u16string FakePlatform::SystemErrorText(std::uint32_t code) {
  switch (code) {
    case kErrorFileNotFound: return u"The system cannot find the file specified.";
    case kErrorAccessDenied: return u"Access is denied.";
    case kErrorSharingViolation:
      return u"The process cannot access the file because it is being used by another process.";
    default: return u"System error " + U16(std::to_string(code)) + u".";
  }
}

std::uint32_t FakePlatform::WriteStandardOutput(std::u16string_view text) {
  if (standardOutputError != 0) return standardOutputError;
  standardOutput.append(text);
  return 0;
}

std::uint32_t FakePlatform::ReadStandardInputLine() {
  if (standardInputError != 0) return standardInputError;
  ++standardInputLinesRead;
  return 0;
}

FakePlatform::RegistryKeyNode& FakePlatform::AddKey(RegistryRoot root, const std::u16string& path) {
  RegistryKeyNode* node = root == RegistryRoot::ClassesRoot ? &classesRoot_ : &currentUser_;
  for (const std::u16string& part : SplitKeyPath(path)) {
    auto& child = node->subkeys[UpperCase(part)];
    if (!child) {
      child = std::make_unique<RegistryKeyNode>();
      node->subkeyOrder.push_back(part);
    }
    node = child.get();
  }
  return *node;
}

void FakePlatform::SetValue(RegistryRoot root, const std::u16string& keyPath, const std::u16string& valueName,
                            RegistryValue value) {
  AddKey(root, keyPath).values[UpperCase(valueName)] = std::move(value);
}

void FakePlatform::SetString(RegistryRoot root, const std::u16string& keyPath, const std::u16string& valueName,
                             const std::u16string& value, std::uint32_t type) {
  std::string data(reinterpret_cast<const char*>(value.c_str()), (value.size() + 1) * 2);  // with its NUL
  SetValue(root, keyPath, valueName, RegistryValue{type, data});
}

FakePlatform::RegistryKeyNode* FakePlatform::FindKey(RegistryRoot root, const std::u16string& path) {
  RegistryKeyNode* node = root == RegistryRoot::ClassesRoot ? &classesRoot_ : &currentUser_;
  for (const std::u16string& part : SplitKeyPath(path)) {
    const auto it = node->subkeys.find(UpperCase(part));
    if (it == node->subkeys.end()) return nullptr;
    node = it->second.get();
  }
  return node;
}

std::unique_ptr<IRegistryKey> FakePlatform::OpenRegistryKey(RegistryRoot root, const std::u16string& subkey,
                                                            std::uint32_t access) {
  // Like the real registry, a leading backslash is no valid key name.
  if (!subkey.empty() && subkey.front() == u'\\') return nullptr;
  RegistryKeyNode* node = FindKey(root, subkey);
  if (!node || (access & ~node->grantedAccess) != 0) return nullptr;
  return std::make_unique<FakeKey>(*this, *node, access);
}

bool FakePlatform::CreateChildProcess(const ProcessStartRequest& request) {
  processes.push_back(request);
  return createProcessSucceeds && !request.commandLine.empty() && request.commandLine.front() != u' ';
}

void FakePlatform::RequestShellExecute(const ShellExecuteRequest& request) { shellRequests.push_back(request); }

bool FakePlatform::SameTextIgnoringCase(std::u16string_view a, std::u16string_view b) {
  return UpperCase(a) == UpperCase(b);
}

std::u16string FakePlatform::UpperCase(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) c = ToUpper(c);
  return out;
}

std::u16string FakePlatform::LowerCase(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) c = ToLower(c);
  return out;
}

std::u16string FakePlatform::DecodeAnsi(std::string_view bytes) { return DecodeWindows1252(bytes); }

void FakePlatform::ShowErrorBox(const std::u16string& title, const std::u16string& text) {
  errorBoxes.push_back({title, text});
}

}  // namespace kelvane
