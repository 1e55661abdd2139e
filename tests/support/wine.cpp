#include "tests/support/wine.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

#include "tests/support/child_process.h"

namespace kv::test {
namespace fs = std::filesystem;

namespace {

std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// The Windows build under Wine: its loader (the 32-bit one only for a 32-bit
// build, and only where this machine can execute it) and its processor,
// found once by the same rules as the scripts' (scripts/wine-loaders.sh).
struct WineBuild {
  std::string loader;
  bool is64Bit = false;
};

const WineBuild& Build() {
  static const WineBuild build = [] {
    const std::string program = WineBin() + "/kv_exit_code.exe";
    const RunResult found =
        RunProgram("/bin/bash", {"-c", "source \"$1\" && kv_pe_machine \"$2\" && kv_wine_loader_for \"$2\"",
                                 "wine-loaders", std::string(KV_SOURCE_DIR) + "/scripts/wine-loaders.sh", program});
    std::istringstream lines(found.out);
    WineBuild result;
    std::string machine;
    if (found.exitCode != 0 || !std::getline(lines, machine) || !std::getline(lines, result.loader))
      throw std::runtime_error("no Wine loader for " + program + ": " + found.err);
    result.is64Bit = machine == "x86_64";
    return result;
  }();
  return build;
}

std::string Loader() { return Quoted(Build().loader); }

// A Wine prefix made once per test run, in a temporary directory, from which
// each image's prefix is linked (its files are hard links: cheap, and Wine
// never rewrites its system files in place).
class WineTemplate {
 public:
  static WineTemplate& Instance() {
    static WineTemplate instance;
    return instance;
  }
  const std::string& prefix() {
    std::call_once(made_, [this] { Make(); });
    return prefix_;
  }
  ~WineTemplate() {
    if (root_.empty()) return;
    RunProgram("/bin/sh", {"-c", "wineserver -k 2>/dev/null; true"}, Environment(prefix_));
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  // What every Wine command of the tests runs with.
  static std::map<std::string, std::string> Environment(const std::string& prefix) {
    return {{"WINEPREFIX", prefix},
            {"WINEDEBUG", "-all"},
            // No offer to install Mono or Gecko, no window.
            {"WINEDLLOVERRIDES", "mscoree,mshtml="},
            {"DISPLAY", ""}};
  }

 private:
  void Make() {
    std::string pattern = (fs::temp_directory_path() / "kvwine-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    prefix_ = root_ + "/template";
    const RunResult boot =
        RunProgram("/bin/sh", {"-c", Loader() + " wineboot -i && wineserver -w"}, Environment(prefix_));
    if (boot.exitCode != 0 || !fs::exists(prefix_ + "/system.reg"))
      throw std::runtime_error("Wine could not make a prefix: " + boot.err);
  }

  std::once_flag made_;
  std::string root_, prefix_;
};

std::string WindowsPath(const std::string& hostPath) {
  std::string path = "Z:" + fs::absolute(hostPath).string();
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

RunResult Shell(const std::string& script, const std::string& prefix) {
  return RunProgram("/bin/sh", {"-c", script}, WineTemplate::Environment(prefix));
}

// A Wine server that stays until it is told to end, or until the object
// goes; as it ends it writes the registry back to the prefix's system.reg.
class WineSession {
 public:
  explicit WineSession(std::string prefix) : prefix_(std::move(prefix)) { Shell("wineserver -p", prefix_); }
  WineSession(const WineSession&) = delete;
  WineSession& operator=(const WineSession&) = delete;
  ~WineSession() { End(); }
  void End() {
    if (prefix_.empty()) return;
    Shell("wineserver -k; wineserver -w", prefix_);
    prefix_.clear();
  }

 private:
  std::string prefix_;
};

// Makes the image a Wine prefix: Wine's own files linked in beside what the
// image's drive_c/ holds (the image's files win). The update stamp comes
// along, or Wine would set the prefix up anew, which takes a quarter minute.
void MakePrefix(const TempMachine& machine) {
  if (machine.Exists("system.reg")) return;
  const std::string source = WineTemplate::Instance().prefix();
  const RunResult copy = RunProgram(
      "/bin/sh", {"-c", "cp -a -l -n " + Quoted(source + "/drive_c") + " " + Quoted(machine.dir()) + " && cp -a " +
                            Quoted(source) + "/*.reg " + Quoted(source + "/.update-timestamp") + " " +
                            Quoted(source + "/dosdevices") + " " + Quoted(machine.dir())});
  if (copy.exitCode != 0) throw std::runtime_error("cannot make a Wine prefix of the image: " + copy.err);
}

// Wine's commands that make it the image's kind of system: a server as
// Windows Server 2008 (Wine 8's "win2008r2" tells a workstation's product
// type), a client as Windows 10. As winecfg does, the product options say so
// too, since programs (this one included) read them from the registry.
std::string SystemKindCommands(const TempMachine& machine) {
  const auto json = nlohmann::json::parse(machine.ReadFile("machine.json"), nullptr, false);
  const auto type =
      json.is_object() && json.contains("os") && json["os"].is_object() ? json["os"].value("product_type", 1) : 1;
  const bool server = type != 1;
  const std::string reg = " && " + Loader() + " reg add ";
  return reg + "'HKCU\\Software\\Wine' /v Version /d " + (server ? "win2008" : "win10") + " /f >/dev/null" + reg +
         "'HKLM\\SYSTEM\\CurrentControlSet\\Control\\ProductOptions' /v ProductType /d " +
         (server ? "ServerNT" : "WinNT") + " /f >/dev/null";
}

// Wine's system.reg as registry.reg text: the machine hive's keys under
// HKEY_LOCAL_MACHINE with its top keys named as Windows names them, values as
// they stand (Wine writes them in the .reg syntax), Wine's own remarks left out.
std::string MachineHiveAsRegFile(const std::string& systemReg) {
  std::istringstream in(systemReg);
  std::string out = kRegHeader, line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#' || line[0] == ';' || line.rfind("WINE REGISTRY", 0) == 0) continue;
    if (line[0] == '[') {
      const auto close = line.rfind(']');
      std::string path;
      for (std::size_t i = 1; i < close; ++i) {
        path += line[i];
        if (line[i] == '\\' && i + 1 < close && line[i + 1] == '\\') ++i;
      }
      for (const char* top : {"Software", "System", "Hardware"}) {
        const std::string name(top);
        if (path.compare(0, name.size(), name) == 0 && (path.size() == name.size() || path[name.size()] == '\\'))
          for (std::size_t i = 0; i < name.size(); ++i) path[i] = static_cast<char>(std::toupper(path[i]));
      }
      out += "\n[HKEY_LOCAL_MACHINE\\" + path + "]\n";
      continue;
    }
    out += line + "\n";
  }
  return out;
}

// Where the agent's key lies for the build under Wine. The agent is a 32-bit
// program: on 64-bit Windows it reads its key in the 32-bit view, which the
// images hold under WOW6432Node. A 64-bit build reads the native view, so for
// it the vendor's subtrees of the two views trade places as the image's
// registry goes into Wine, and trade back as Wine's comes out: the program
// sees its key where the agent would, and the image keeps its own layout.
std::string AgentViewsForTheBuild(const std::string& regText) {
  if (!Build().is64Bit) return regText;
  static const std::string kView32 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Tarnwick",
                           kNative = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick";
  // Whether the key line names `key` or a key under it (at `at`, any case).
  auto names = [](const std::string& line, std::size_t at, const std::string& key) {
    if (line.size() < at + key.size()) return false;
    for (std::size_t i = 0; i < key.size(); ++i)
      if (std::tolower(static_cast<unsigned char>(line[at + i])) != std::tolower(static_cast<unsigned char>(key[i])))
        return false;
    const char next = line.size() > at + key.size() ? line[at + key.size()] : '\0';
    return next == ']' || next == '\\';
  };
  std::istringstream in(regText);
  std::string out, line;
  while (std::getline(in, line)) {
    const std::size_t at = line.rfind("[-", 0) == 0 ? 2 : 1;
    if (!line.empty() && line[0] == '[') {
      if (names(line, at, kView32))
        line = line.substr(0, at) + kNative + line.substr(at + kView32.size());
      else if (names(line, at, kNative))
        line = line.substr(0, at) + kView32 + line.substr(at + kNative.size());
    }
    out += line + "\n";
  }
  return out;
}

// The first line of a .reg text that sets the named value, as it stands.
std::string ValueLine(const std::string& regText, const std::string& name) {
  const std::string start = "\"" + name + "\"=";
  for (std::size_t at = regText.find(start); at != std::string::npos; at = regText.find(start, at + 1))
    if (at == 0 || regText[at - 1] == '\n') return regText.substr(at, regText.find('\n', at) - at);
  return {};
}

}  // namespace

bool WineMode() { return !WineBin().empty(); }

std::string WineBin() {
  const char* bin = std::getenv("KV_WINE_BIN");
  return bin ? std::string(bin) : std::string();
}

bool WineBuildIs64Bit() { return WineMode() && Build().is64Bit; }

RunResult RunUnderWine(const TempMachine& machine, const std::string& program, const std::vector<std::string>& args) {
  MakePrefix(machine);
  const std::string prefix = machine.dir();
  // One server for the whole run, from the import to the program's end:
  // Wine sets some values (the processor's name among them) anew whenever a
  // server starts, so a server that ended between the two would show the
  // program the host's processor instead of the image's. It stays until it
  // is told to end, on every way out.
  WineSession session(prefix);
  // As regedit on 64-bit Windows, the 64-bit reg imports: every key lands
  // where the file names it (the 32-bit reg alone would redirect SOFTWARE).
  // Each run imports the image's own registry.reg. A registry.reg that is
  // still what the last run wrote back stands for the file imported then.
  const std::string captured = "registry.reg.wine", original = "registry.reg.image";
  if (!machine.Exists(captured) || machine.ReadFile(captured) != machine.ReadFile("registry.reg"))
    machine.WriteFile(original, AgentViewsForTheBuild(machine.ReadFile("registry.reg")));
  const RunResult import = Shell(Loader() + " reg import " + Quoted(WindowsPath(machine.Path(original))) + " /reg:64" +
                                     SystemKindCommands(machine),
                                 prefix);
  if (import.exitCode != 0) throw std::runtime_error("Wine's reg import failed: " + import.err);
  // The stand-in Defender library reads the machine.json beside it.
  const std::string defender = "drive_c/Program Files/Windows Defender";
  if (machine.Exists(defender))
    fs::copy_file(machine.Path("machine.json"), machine.Path(defender + "/machine.json"),
                  fs::copy_options::overwrite_existing);

  std::vector<std::string> wineArgs{WineBin() + "/kv_exit_code.exe", WindowsPath(machine.Path("exit-code")),
                                    WindowsPath(WineBin() + "/" + program + ".exe")};
  wineArgs.insert(wineArgs.end(), args.begin(), args.end());
  RunResult result = RunProgram(Build().loader, wineArgs, WineTemplate::Environment(prefix));
  // Windows' C runtime writes a line end of text mode as CR LF; the tests
  // compare lines.
  for (std::string* text : {&result.out, &result.err})
    for (auto at = text->find("\r\n"); at != std::string::npos; at = text->find("\r\n", at)) text->erase(at, 1);
  session.End();
  const std::string hive = AgentViewsForTheBuild(MachineHiveAsRegFile(ReadWholeFile(machine.Path("system.reg"))));
  // The program must have seen the image's processor, not the host's: the
  // checker's answer depends on it.
  const std::string imageProcessor = ValueLine(machine.ReadFile(original), "PROCESSOR_IDENTIFIER");
  if (!imageProcessor.empty() && ValueLine(hive, "PROCESSOR_IDENTIFIER") != imageProcessor)
    throw std::runtime_error("Wine replaced the image's processor (" + imageProcessor + ") with the host's");
  machine.WriteFile("registry.reg", hive);
  machine.WriteFile(captured, hive);
  return result;
}

}  // namespace kv::test
