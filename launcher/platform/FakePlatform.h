#pragma once
// An in-memory Windows for the launcher's tests: a registry tree with typed
// values and access rights, files with attributes, locks and links, recorded
// process starts and shell requests, and standard streams as buffers.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "launcher/platform/LauncherPlatform.h"

namespace kelvane {

class FakePlatform : public ILauncherPlatform {
 public:
  struct File {
    std::string content;
    bool directory = false;
    bool locked = false;                     // opened elsewhere without sharing
    bool accessDenied = false;               // exists, but may not be read
    std::optional<std::u16string> linkTo;    // a symbolic link to this path
  };

  struct RegistryKeyNode {
    std::map<std::u16string, RegistryValue> values;  // by upper-case name
    std::vector<std::u16string> subkeyOrder;         // names as created, in enumeration order
    std::map<std::u16string, std::unique_ptr<RegistryKeyNode>> subkeys;  // by upper-case name
    std::uint32_t grantedAccess = 0xFFFFFFFF;
  };

  FakePlatform();

  // --- set-up -------------------------------------------------------------
  std::u16string moduleFileName = u"C:\\Tools\\Project1.exe";
  std::u16string commandLine = u"Project1.exe";
  std::u16string currentDirectory = u"C:\\Work";

  // Adds or replaces a file (a relative path counts from currentDirectory).
  File& AddFile(const std::u16string& path, std::string content = {});
  void AddDirectory(const std::u16string& path);
  void AddLink(const std::u16string& path, const std::u16string& target);

  // Creates the key and its parents; returns it for further set-up.
  RegistryKeyNode& AddKey(RegistryRoot root, const std::u16string& path);
  void SetString(RegistryRoot root, const std::u16string& keyPath, const std::u16string& valueName,
                 const std::u16string& value, std::uint32_t type = kRegSz);
  void SetValue(RegistryRoot root, const std::u16string& keyPath, const std::u16string& valueName,
                RegistryValue value);

  // Standard streams: what was written, and how reads and writes behave.
  std::u16string standardOutput;
  std::uint32_t standardOutputError = 0;  // e.g. kNoStandardOutput
  std::uint32_t standardInputError = 0;   // e.g. 6 for an invalid handle
  int standardInputLinesRead = 0;

  // --- records --------------------------------------------------------------
  std::vector<ProcessStartRequest> processes;
  std::vector<ShellExecuteRequest> shellRequests;
  struct ErrorBox {
    std::u16string title, text;
  };
  std::vector<ErrorBox> errorBoxes;
  bool createProcessSucceeds = true;

  // --- ILauncherPlatform ----------------------------------------------------
  std::u16string ModuleFileName() override { return moduleFileName; }
  std::u16string CommandLine() override { return commandLine; }
  std::uint32_t WriteStandardOutput(std::u16string_view text) override;
  std::uint32_t ReadStandardInputLine() override;
  bool FileExists(const std::u16string& path) override;
  std::uint32_t ReadFileDenyingWriters(const std::u16string& path, std::string& bytes) override;
  std::u16string FullPathName(const std::u16string& path) override;
  std::u16string SystemErrorText(std::uint32_t code) override;
  std::unique_ptr<IRegistryKey> OpenRegistryKey(RegistryRoot root, const std::u16string& subkey,
                                                std::uint32_t access) override;
  bool CreateChildProcess(const ProcessStartRequest& request) override;
  void RequestShellExecute(const ShellExecuteRequest& request) override;
  bool SameTextIgnoringCase(std::u16string_view a, std::u16string_view b) override;
  std::u16string UpperCase(std::u16string_view text) override;
  std::u16string LowerCase(std::u16string_view text) override;
  std::u16string DecodeAnsi(std::string_view bytes) override;
  std::uint32_t AnsiCodePage() override { return 1252; }
  void ShowErrorBox(const std::u16string& title, const std::u16string& text) override;

 private:
  const File* FindFile(const std::u16string& path) const;
  std::u16string Key(const std::u16string& path) const;
  RegistryKeyNode* FindKey(RegistryRoot root, const std::u16string& path);

  std::map<std::u16string, File> files_;  // by upper-case full path
  RegistryKeyNode classesRoot_;
  RegistryKeyNode currentUser_;
};

}  // namespace kelvane
