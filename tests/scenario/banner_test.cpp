// The settings banner the checker writes at start-up, run on a copy of the
// machine image the README uses.

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <vector>

#include "tests/support/agent_image.h"
#include "tests/support/wine.h"

namespace kv {
namespace {

// The texts of the log's INFO entries, in order.
std::vector<std::string> InfoEntries(const std::string& log) {
  static const std::regex entry(R"(\[ \d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{3} \] \[ \d+ \] \[(\w+)\] )");
  std::vector<std::string> texts;
  std::vector<std::pair<std::size_t, std::size_t>> starts;  // entry start, text start
  for (auto it = std::sregex_iterator(log.begin(), log.end(), entry); it != std::sregex_iterator(); ++it) {
    starts.emplace_back(it->position(0), it->position(0) + it->length(0));
  }
  for (std::size_t i = 0; i < starts.size(); ++i) {
    const std::size_t end = i + 1 < starts.size() ? starts[i + 1].first : log.size();
    const std::string header = log.substr(starts[i].first, starts[i].second - starts[i].first);
    if (header.find("[INFO] ") == std::string::npos) continue;
    texts.push_back(log.substr(starts[i].second, end - starts[i].second));
  }
  return texts;
}

TEST(Banner, DefaultMachineShowsEverySetting) {
  KV_SKIP_UNDER_WINE("the computer's domain, domain controller and addresses are Wine's, not the image's");
  test::TempMachine machine;
  test::CopyExampleMachine(machine, "default");
  const test::CheckerRun run = test::RunChecker(machine);
  ASSERT_EQ(run.exitCode, 0) << run.run.err;

  const std::string star = "****************************************************************** \n";
  const std::vector<std::string> expected = {
      star,
      "Kelvane Server Name                -> kvserver.corp.example \n",
      "Kelvane Server Flat Name           -> KVSERVER \n",
      "Kelvane Server IPAddress           -> 10.0.0.5 \n",
      "Kelvane Server Secondary IPAddress -> (null) \n",
      "Kelvane Last Access Name           -> kvserver.corp.example \n",
      "Kelvane Server Port                -> 8383 \n",
      "Kelvane Server Protocol            -> https \n",
      "Kelvane Agent Version              -> 11.4.2.1180 \n",
      "Kelvane Agent InstallDir           -> C:\\Program Files (x86)\\Tarnwick\\Kelvane\\KVAgent\\ \n",
      "Kelvane Client Namespace           -> CORP \n",
      "Kelvane Server Data Path           -> client-data/cust-0042/domains/corp \n",
      "Kelvane MSP Name\t           -> Northwind IT Services \n",
      "Kelvane Customer Name\t           -> Contoso Ltd \n",
      "Kelvane Customer Id\t\t   -> CUST-0042 \n",
      "Kelvane Product Code               -> KVEE \n",
      "Local Computer Name                       -> WEB01 \n",
      "Local Computer IP Address                 -> 10.0.0.15 \n",
      "Local Computer MAC Address                -> 00:15:5d:01:02:03 \n",
      "Local Computer Subnet Mask                -> 255.255.255.0 \n",
      "KV Distribution Server Enabled            -> no \n",
      "The remote office name is                 -> Head Office \n",
      "Kelvane Agent HTTP Request Timeout -> 60000 \n",
      "Local Computer Domain controller          -> DC01 \n",
      "The Agent Machine Resource Id is given by -> 301 \n",
      "Agent Checksum Enabled\t\t               -> 1 \n",
      "Agent Data Transfer Rate in KBps\t\t   -> 0 \n",
      star,
  };
  const std::vector<std::string> info = InfoEntries(machine.ReadFile(test::kCheckerLog));
  const auto first = std::find(info.begin(), info.end(), star);
  ASSERT_NE(first, info.end()) << "no banner in the log";
  ASSERT_GE(static_cast<std::size_t>(info.end() - first), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(first[static_cast<std::ptrdiff_t>(i)], expected[i]);
  // Without a distribution server there is no second block.
  for (const std::string& text : info) EXPECT_EQ(text.find("KV Distribution Server  Name"), std::string::npos);
}

}  // namespace
}  // namespace kv
