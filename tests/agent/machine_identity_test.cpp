// This computer's identity from the emulated machine's "identity" and
// "adapters".

#include "agent/machine_identity.h"

#include <gtest/gtest.h>

#include <memory>

#include "agent/agent_settings.h"
#include "tests/support/test_log.h"
#include "tests/support/test_machine.h"

namespace kv {
namespace {

constexpr const char* kDomainIdentity =
    R"("identity": {"computer_name": "WEB01", "join_status": "domain", "join_name": "CORP",
                    "domain_controller": {"name": "\\\\DC01", "address": "\\\\10.0.0.2",
                                          "domain": "corp.example"}})";

class MachineIdentity : public testing::Test {
 protected:
  void SetUp() override { ResetAgentSettings(); }
  void TearDown() override {
    log_.reset();
    ResetAgentSettings();
  }

  void Use(const std::string& members) {
    machine_.WriteMachineJson("{" + members + "}");
    machine_.Use();
    log_.reset();  // the old log closes before the new one opens
    log_ = std::make_unique<test::TestLog>(4);
  }
  // An image with the domain identity and these adapters.
  void UseAdapters(const std::string& adapters) { Use(std::string(kDomainIdentity) + R"(, "adapters": )" + adapters); }

  bool Logged(const std::string& text) const { return log_->Contains(text); }

  test::TempMachine machine_;
  std::unique_ptr<test::TestLog> log_;
};

TEST_F(MachineIdentity, DomainComputer) {
  UseAdapters(R"([{"index": 7, "mac": "00:15:5D:01:02:0a",
                   "addresses": [{"ip": "10.0.0.15", "mask": "255.255.255.0", "context": 1}]}])");
  testing::internal::CaptureStdout();
  ASSERT_EQ(InitializeLocalMachineDetails(), 0);
  const std::string out = testing::internal::GetCapturedStdout();
  const AgentSettings& a = Agent();
  EXPECT_EQ(a.gv_localComputerName, "WEB01");
  EXPECT_EQ(a.gv_clientNamespace, "CORP");
  EXPECT_EQ(a.gv_logonServer, "DC01");
  EXPECT_EQ(a.gv_localIPAddress, "10.0.0.15");
  EXPECT_EQ(a.gv_localMACAddress, "00:15:5d:01:02:0a");
  EXPECT_EQ(a.gv_localSubnetMask, "255.255.255.0");

  EXPECT_EQ(out, "7         1         10.0.0.15           255.255.255.0\n");
  EXPECT_TRUE(Logged("[INFO] ipAddress :7         1         10.0.0.15           255.255.255.0\n"));
  EXPECT_TRUE(Logged("[DEBUG] GetComputerLogonServer : DomainControllerName :\\\\DC01 \n"));
  EXPECT_TRUE(Logged("[DEBUG] DomainControllerAddress :\\\\10.0.0.2\n"));
  EXPECT_TRUE(Logged("[DEBUG] DcSiteName :(null)\n"));
  EXPECT_TRUE(Logged("[DEBUG] GetLocalComputerName: Computer Name: WEB01 \n"));
  EXPECT_TRUE(Logged("[INFO] GetLocalComputerName : Computer Name : WEB01\n"));
  EXPECT_TRUE(Logged("[INFO] GetComputerNameSpace :The computer is joined to a domain. \n"));
  EXPECT_TRUE(Logged("[DEBUG] GetMACandIPAddress : Local Machine MAC ADDRESS : 00:15:5d:01:02:0a \n"));
  EXPECT_TRUE(Logged("[DEBUG] GetMACandIPAddress : Local Machine IP ADDRESS  : 10.0.0.15 \n"));
  EXPECT_TRUE(Logged("[DEBUG] GetMACandIPAddress : Local Machine Subnet Mask : 255.255.255.0 \n"));
}

TEST_F(MachineIdentity, AdapterLists) {
  struct Case {
    const char* name;
    const char* adapters;
    const char* ips;
    const char* macs;
    const char* masks;
  };
  const Case cases[] = {
      {"only 0.0.0.0", R"([{"index": 3, "mac": "00:15:5d:01:02:03",
                           "addresses": [{"ip": "0.0.0.0", "mask": "0.0.0.0"}]}])",
       "", "--", ""},
      {"no address at all", R"([{"index": 3, "mac": "00:15:5d:01:02:03"}])", "", "--", ""},
      {"two adapters, two addresses",
       R"([{"index": 3, "mac": "00:15:5d:01:02:03",
            "addresses": [{"ip": "10.0.0.15", "mask": "255.255.255.0"}, {"ip": "10.0.1.15", "mask": "255.255.0.0"}]},
           {"index": 4, "mac": "00:15:5d:0a:0b:0c",
            "addresses": [{"ip": "0.0.0.0", "mask": "0.0.0.0"}, {"ip": "192.168.1.2", "mask": "255.255.255.128"}]}])",
       "10.0.0.15,10.0.1.15,192.168.1.2", "00:15:5d:01:02:03,00:15:5d:01:02:03,00:15:5d:0a:0b:0c",
       "255.255.255.0,255.255.0.0,255.255.255.128"},
      {"short hardware address", R"([{"index": 3, "mac": "00:15:5d:01",
                                     "addresses": [{"ip": "10.0.0.15", "mask": "255.0.0.0"}]}])",
       "10.0.0.15", "--", "255.0.0.0"},
      // A first entry of two characters takes no separator in the address
      // and mask lists, which need more than two.
      {"two-character first entry",
       R"([{"index": 3, "mac": "",
            "addresses": [{"ip": "ab", "mask": "cd"}, {"ip": "10.0.0.1", "mask": "255.0.0.0"}]}])",
       "ab10.0.0.1", "--", "cd255.0.0.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UseAdapters(c.adapters);
    std::optional<std::string> ips, macs, masks;
    testing::internal::CaptureStdout();
    EXPECT_EQ(GetMACandIPAddress(ips, macs, masks), 0u);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(ips, c.ips);
    EXPECT_EQ(macs, c.macs);
    EXPECT_EQ(masks, c.masks);
  }
}

TEST_F(MachineIdentity, ContextZeroPrintsBlank) {
  UseAdapters(R"([{"index": 12, "mac": "00:15:5d:01:02:03"}])");
  std::optional<std::string> ips, macs, masks;
  testing::internal::CaptureStdout();
  EXPECT_EQ(GetMACandIPAddress(ips, macs, masks), 0u);
  // "%-10.d" prints nothing for 0.
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "12                  0.0.0.0             0.0.0.0\n");
}

TEST_F(MachineIdentity, ListsAreBounded) {
  std::string addresses;
  for (int i = 0; i < 2500; ++i) {
    if (i > 0) addresses += ",";
    addresses +=
        R"({"ip": "10.0.)" + std::to_string(i / 250) + "." + std::to_string(i % 250) + R"(", "mask": "255.255.255.0"})";
  }
  UseAdapters(R"([{"index": 1, "mac": "00:15:5d:01:02:03", "addresses": [)" + addresses + "]}]");
  std::optional<std::string> ips, macs, masks;
  testing::internal::CaptureStdout();
  EXPECT_EQ(GetMACandIPAddress(ips, macs, masks), 0u);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(macs->size(), 32766u);
  EXPECT_EQ(masks->size(), 32766u);
  EXPECT_LE(ips->size(), 32766u);
  EXPECT_EQ(ips->rfind("10.0.0.0,10.0.0.1,", 0), 0u);
}

TEST_F(MachineIdentity, NoAdaptersIsLoggedAndTolerated) {
  Use(kDomainIdentity);
  std::optional<std::string> ips, macs, masks;
  EXPECT_EQ(GetMACandIPAddress(ips, macs, masks), 232u);
  EXPECT_EQ(ips, "");
  EXPECT_EQ(macs, "");
  EXPECT_TRUE(Logged("[ERROR] GetMACandIPAddress : GetAdaptersInfo sizing failed with error 232\n"));

  ASSERT_EQ(InitializeLocalMachineDetails(), 0);
  EXPECT_TRUE(
      Logged("[ERROR] InitializeLocalMachineDetails : Error while fetching Local machine IP and MAC Addresses! \n"));
  EXPECT_EQ(Agent().gv_localComputerName, "WEB01");
}

TEST_F(MachineIdentity, WorkgroupComputerHasNoLogonServer) {
  Use(R"("identity": {"computer_name": "KIOSK", "join_status": "workgroup", "join_name": " \tWORKGROUP  \n"})");
  ASSERT_EQ(InitializeLocalMachineDetails(), 0);
  EXPECT_EQ(Agent().gv_clientNamespace, "WORKGROUP");
  EXPECT_EQ(Agent().gv_logonServer, std::nullopt);
  EXPECT_EQ(Agent().gv_localMACAddress, "");
  EXPECT_TRUE(Logged("[ERROR] GetComputerLogonServer: Error while fetching DC name! 1355 \n"));
  EXPECT_TRUE(Logged("[ERROR] InitializeLocalMachineDetails : Error while fetching computer domain controller ! \n"));
  EXPECT_TRUE(Logged("[INFO] GetComputerNameSpace :The computer is joined to a workgroup. \n"));
}

TEST_F(MachineIdentity, JoinStatusTexts) {
  const std::pair<const char*, const char*> cases[] = {
      {R"("unknown")", "GetComputerNameSpace : The status is unknown. \n"},
      {R"("unjoined")", "GetComputerNameSpace :The computer is not joined. \n"},
      {"7", "GetComputerNameSpace : The status is not determined .\n"}};
  for (const auto& [status, line] : cases) {
    SCOPED_TRACE(status);
    Use(std::string(R"("identity": {"computer_name": "PC", "join_name": "X", "join_status": )") + status + "}");
    std::optional<std::string> name;
    EXPECT_EQ(GetComputerNameSpace(name), 1);
    EXPECT_EQ(name, "X");
    EXPECT_TRUE(Logged(std::string("[INFO] ") + line));
  }
}

TEST_F(MachineIdentity, RequiredNamesFailWith13) {
  Use(R"("identity": {"computer_name": "PC"})");
  EXPECT_EQ(InitializeLocalMachineDetails(), 13);
  EXPECT_TRUE(Logged("[ERROR] GetComputerNameSpace : Failed to retrive the namespace -> 87 \n"));
  EXPECT_TRUE(Logged("[ERROR] InitializeLocalMachineDetails : Error occured while retrieving the name space !!! \n"));
  EXPECT_EQ(Agent().gv_clientNamespace, std::nullopt);

  Use(R"("identity": {"join_status": "domain", "join_name": "CORP"})");
  EXPECT_EQ(InitializeLocalMachineDetails(), 13);
  EXPECT_TRUE(Logged("[ERROR] GetLocalComputerName: Error while getting computername! 2 \n"));
  EXPECT_TRUE(
      Logged("[ERROR] InitializeLocalMachineDetails : Error occured while retrieving the local computer name !!! \n"));
}

TEST_F(MachineIdentity, HostNameBufferHolds63Characters) {
  for (const std::size_t length : {63u, 64u}) {
    const std::string name(length, 'h');
    Use(R"("identity": {"computer_name": ")" + name + "\"}");
    std::optional<std::string> out;
    EXPECT_EQ(GetLocalComputerName(out), length == 63 ? 1 : 0);
    EXPECT_EQ(out, length == 63 ? std::optional<std::string>(name) : std::nullopt);
  }
  EXPECT_TRUE(Logged("[ERROR] GetLocalComputerName: Error while getting computername! 234 \n"));
}

}  // namespace
}  // namespace kv
