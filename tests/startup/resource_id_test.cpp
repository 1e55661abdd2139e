// The resource identifier: from the registry, else from the server's
// resource document, with and without the table definition that loading
// the document needs.

#include "startup/resource_id.h"

#include <gtest/gtest.h>

#include "store/data_dictionary.h"
#include "store/store_reset.h"
#include "store/table_data.h"
#include "tests/startup/agent_server_fixture.h"

namespace kv {
namespace {

using test::kSystemDetailsKey;

constexpr const char* kMissingLine =
    "[ERROR] GetResourceID : Unable to get the KV Agent Resource ID from Registry , So trying to get the same from "
    "server .\n";
constexpr const char* kDocumentPath = "/client-data/acme/domains/corp/resources/web01.xml";
constexpr const char* kDictionary = R"(<?xml version="1.0"?>
<data-dictionary>
  <table name="Agentparams">
    <columns>
      <column name="PARAM_NAME"><data-type>CHAR</data-type><max-size>100</max-size></column>
      <column name="PARAM_VALUE"><data-type>CHAR</data-type><max-size>255</max-size></column>
    </columns>
    <primary-key><primary-key-column>PARAM_NAME</primary-key-column></primary-key>
  </table>
</data-dictionary>
)";

std::string Document(const std::string& rows) {
  return "<?xml version=\"1.0\"?>\n<Reply><AgentparamsList>" + rows + "</AgentparamsList></Reply>";
}
std::string Row(const std::string& name, const std::string& value) {
  return "<Agentparams PARAM_NAME=\"" + name + "\" PARAM_VALUE=\"" + value + "\"/>";
}

class ResourceId : public test::AgentServerTest {
 protected:
  ResourceId() {
    AgentSettings& agent = Agent();
    agent.gv_clientNamespace = "CORP";
    agent.gv_clientDataPath = "client-data/acme/domains/corp";
    agent.gv_localComputerName = "WEB01";
  }
  ~ResourceId() override { ResetStoreState(); }

  void UseSystemDetails(const std::string& values) const {
    machine.WriteRegistry(test::RegKeyBlock(test::kAgentKey32) +
                          test::RegKeyBlock(std::string(test::kAgentKey32) + "\\SystemDetails", values));
    machine.Use();
  }
  void LoadDictionary() const {
    machine.WriteFile("drive_c/dictionary.xml", kDictionary);
    ASSERT_TRUE(LoadDataDictFromXMLFile("C:\\dictionary.xml"));
    ASSERT_NE(GetTableDefn("Agentparams"), nullptr);
  }
  std::optional<std::string> StoredId() const { return Stored(kSystemDetailsKey, "KVAgentResourceID"); }
  std::string Notifications() const {
    return machine.Exists("scm-controls.log") ? machine.ReadFile("scm-controls.log") : "";
  }
  // The target of the only request the server received.
  std::string OnlyTarget() const {
    const std::vector<test::RecordedRequest> requests = server.Requests();
    return requests.size() == 1 ? requests[0].target : "<" + std::to_string(requests.size()) + " requests>";
  }
};

TEST_F(ResourceId, FetchedStoredAnnouncedAndThenReadLocally) {
  LoadDictionary();
  server.Put(kDocumentPath, Document(Row("OTHER", "x") + Row("RESOURCE_ID", "1234")));
  std::optional<std::string> id = "stale";
  EXPECT_EQ(GetResourceID(id), 0u);
  EXPECT_EQ(id, "1234");
  EXPECT_EQ(OnlyTarget(), kDocumentPath);
  EXPECT_EQ(StoredId(), "1234");
  EXPECT_EQ(Notifications(), "KVAgent 147\n");
  EXPECT_TRUE(Logged(kMissingLine));
  EXPECT_TRUE(Logged("[INFO] GetResourceIDFromServer : The Resource ID from the server is given  by 1234 \n"));
  EXPECT_TRUE(Logged("[INFO] resourceIdXmlPath: /client-data/acme/domains/corp/resources/web01.xml\n"));

  // The next start finds it in the registry.
  id.reset();
  EXPECT_EQ(GetResourceID(id), 0u);
  EXPECT_EQ(id, "1234");
  EXPECT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(Notifications(), "KVAgent 147\n");
}

TEST_F(ResourceId, WithoutTheTableDefinitionTheDocumentCannotBeLoaded) {
  // The checker's own run: the store is never initialised.
  const std::string document = Document(Row("RESOURCE_ID", "1234"));
  server.Put(kDocumentPath, document);
  std::optional<std::string> id;
  EXPECT_EQ(GetResourceID(id), 13u);
  EXPECT_EQ(id, std::nullopt);
  EXPECT_TRUE(Logged("[ERROR] Cannot construct table data from XML buffer.\n"));
  EXPECT_TRUE(
      Logged("[ERROR] GetResourceIDFromServer : Error occured (13) while loading resource id buffer to the "
             "memory : \n " +
             document + " \n"));
  EXPECT_EQ(StoredId(), std::nullopt);
  EXPECT_EQ(Notifications(), "");
}

TEST_F(ResourceId, DocumentsWithoutAnIdentifierAreNoErrorAndStoreNothing) {
  LoadDictionary();
  struct Case {
    std::string document;
    DWORD result;
    std::string line;
  };
  const Case cases[] = {
      {Document(""), 0,
       "[ERROR] GetResourceIDFromServer :No rows found corresponding to the resource id in the resource id xml .\n"},
      {Document(Row("OTHER", "x")), 0,
       "[ERROR] GetResourceIDFromServer : No row objects corresponding to the resource id is found \n"},
      {Document(Row("RESOURCE_ID", "")), 0, "[ERROR] GetResourceIDFromServer : The resource id row holds no value \n"},
      {Document("<Agentparams PARAM_NAME=\"RESOURCE_ID\"/>"), 0,
       "[ERROR] GetResourceIDFromServer : The resource id row holds no value \n"},
      {"this is not XML", 13, "[ERROR] GetResourceIDFromServer : Error occured (13) while loading resource id buffer"},
      {"<Reply><Unknown/></Reply>", 13, "[ERROR] CreateRowFromXMLNode : Unknown is neither a table nor a list\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.document);
    ResetTableData();
    server.Put(kDocumentPath, c.document);
    std::optional<std::string> id;
    EXPECT_EQ(GetResourceIDFromServer(id), c.result);
    EXPECT_EQ(id, std::nullopt);
    EXPECT_TRUE(Logged(c.line));
  }
  EXPECT_EQ(StoredId(), std::nullopt);
  EXPECT_EQ(Notifications(), "");
}

TEST_F(ResourceId, AFailedFetchIsTheResult) {
  std::optional<std::string> id;
  EXPECT_EQ(GetResourceIDFromServer(id), 404u);
  EXPECT_EQ(id, std::nullopt);
  EXPECT_TRUE(
      Logged("[ERROR] GetResourceIDFromServer : Unable to get the reource id xml from "
             "/client-data/acme/domains/corp/resources/web01.xml path and the error code is 404 \n"));
  // No address at all: nothing is sent.
  SetServerAddresses({std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt});
  EXPECT_EQ(GetResourceIDFromServer(id), 12007u);
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(ResourceId, TheRegistrysDomainNameReplacesTheNamespace) {
  UseSystemDetails("\"LocalDomainName\"=\"Corp.Example\"\n");
  std::optional<std::string> id;
  EXPECT_EQ(GetResourceID(id), 404u);
  EXPECT_EQ(OnlyTarget(), "/client-data/acme/domains/corp.example/resources/web01.xml");
  EXPECT_TRUE(Logged("[INFO] domainNameFromReg: Corp.Example\n"));
  EXPECT_TRUE(Logged("[INFO] clientDataPathTemp: client-data/acme/domains/Corp.Example["));
  EXPECT_TRUE(Logged("[INFO] lower_CDPath: client-data/acme/domains/corp.example\n"));
  EXPECT_TRUE(Logged("[INFO] lower_compName: web01\n"));
}

TEST_F(ResourceId, ALongDomainNameMakesALongPathNotAnOverflow) {
  const std::string domain(300, 'D');
  UseSystemDetails("\"LocalDomainName\"=\"" + domain + "\"\n");
  Agent().gv_localComputerName = "Ä-WEB";
  std::optional<std::string> id;
  EXPECT_EQ(GetResourceIDFromServer(id), 404u);
  EXPECT_EQ(OnlyTarget(), "/client-data/acme/domains/" + std::string(300, 'd') + "/resources/%C3%A4-web.xml");
}

TEST_F(ResourceId, AnEmptyDomainNameLeavesTheNamespace) {
  UseSystemDetails("\"LocalDomainName\"=\"\"\n");
  std::optional<std::string> id;
  EXPECT_EQ(GetResourceIDFromServer(id), 404u);
  EXPECT_EQ(OnlyTarget(), kDocumentPath);
  EXPECT_FALSE(Logged("domainNameFromReg"));
}

TEST_F(ResourceId, AHugeIdentifierIsStoredWhole) {
  LoadDictionary();
  const std::string huge(300000, '7');
  server.Put(kDocumentPath, Document(Row("RESOURCE_ID", huge)));
  std::optional<std::string> id;
  EXPECT_EQ(GetResourceIDFromServer(id), 0u);
  EXPECT_EQ(id, huge);
  EXPECT_EQ(StoredId(), huge);
  EXPECT_EQ(Notifications(), "KVAgent 147\n");
}

}  // namespace
}  // namespace kv
