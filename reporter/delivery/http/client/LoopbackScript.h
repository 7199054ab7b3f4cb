#pragma once
// For tests on Linux: a Python server script on 127.0.0.1, started with
// the system's Python, that prints its port on its first line. The script
// bounds itself in requests and time; the owner ends it on destruction too.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string_view>
#include <cstdlib>
#include <string>
#include <vector>

namespace ruvex::testing {

class TLoopbackScript {
 public:
  TLoopbackScript(const std::string& script, const std::vector<std::string>& args) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(pipeEnds[1], STDOUT_FILENO);
      close(pipeEnds[0]);
      close(pipeEnds[1]);
      std::vector<std::string> all{"/usr/bin/python3", script};
      all.insert(all.end(), args.begin(), args.end());
      std::vector<char*> argv;
      for (std::string& a : all) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(pipeEnds[1]);
    std::string line;
    char c = 0;
    while (read(pipeEnds[0], &c, 1) == 1 && c != '\n') line.push_back(c);
    close(pipeEnds[0]);
    port_ = static_cast<std::uint16_t>(std::atoi(line.c_str()));
  }
  ~TLoopbackScript() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  TLoopbackScript(const TLoopbackScript&) = delete;
  TLoopbackScript& operator=(const TLoopbackScript&) = delete;

  std::uint16_t Port() const { return port_; }

 private:
  pid_t pid_ = -1;
  std::uint16_t port_ = 0;
};

// Bytes as lowercase hex digits, the form the test servers report texts in.
inline std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) out += {kDigits[c >> 4], kDigits[c & 15]};
  return out;
}

// The lines a test server wrote to its log.
inline std::vector<std::string> FileLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A fresh log path in the build folder.
inline std::string FreshLog(const std::string& name) {
  const char* root = std::getenv("KELVANE_BINARY_DIR");
  const std::string path = std::string(root ? root : "/tmp") + "/" + name + ".log";
  std::remove(path.c_str());
  return path;
}

// The folder of this component's sources, from the test environment.
inline std::string SourcePath(const std::string& relative) {
  const char* root = std::getenv("KELVANE_SOURCE_DIR");
  return std::string(root ? root : ".") + "/" + relative;
}

}  // namespace ruvex::testing
