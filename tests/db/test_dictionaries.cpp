// The data dictionaries of the database tests, written into each test's
// directory by FreshDatabaseAccess.

#include "tests/db/db_fixture.h"

namespace kv::test {

const char* const kTypesDictionary = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<!-- Tables for the database tests: owners and their items (every column type
     that all four dialects can create, keys and a two-column foreign key),
     the types only some dialects create, and the sequence state. -->
<data-dictionary>
  <table name="KV_OWNERS">
    <description>Owners of items.</description>
    <columns>
      <column name="OWNER_ID">
        <data-type>INTEGER</data-type>
        <nullable>false</nullable>
        <uniquevalue-generation><generator-name>OWNER_SEQ</generator-name></uniquevalue-generation>
      </column>
      <column name="REGION">
        <data-type>CHAR</data-type>
        <max-size>4</max-size>
        <nullable>false</nullable>
        <default-value>EU</default-value>
      </column>
      <column name="NAME">
        <data-type>TARN_SQL_CHAR</data-type>
        <max-size>40</max-size>
      </column>
    </columns>
    <primary-key>
      <primary-key-column>OWNER_ID</primary-key-column>
      <primary-key-column>REGION</primary-key-column>
    </primary-key>
  </table>
  <table name="KV_ITEMS">
    <columns>
      <column name="ITEM_ID">
        <data-type>INTEGER</data-type>
        <nullable>false</nullable>
        <uniquevalue-generation><generator-name>ITEM_SEQ</generator-name></uniquevalue-generation>
      </column>
      <column name="TINY"><data-type>TARN_SQL_TINYINT</data-type></column>
      <column name="SMALL"><data-type>TARN_SQL_SMALLINT</data-type><default-value>-3</default-value></column>
      <column name="LABEL"><data-type>TARN_SQL_CHAR</data-type><max-size>60</max-size><unique>true</unique></column>
      <column name="NOTE"><data-type>NCHAR</data-type><max-size>80</max-size><default-value>it's new</default-value></column>
      <column name="BODY"><data-type>TEXT</data-type></column>
      <column name="MADE_ON"><data-type>DATE</data-type></column>
      <column name="MADE_AT"><data-type>TIME</data-type></column>
      <column name="STAMP"><data-type>TIMESTAMP</data-type></column>
      <column name="ACTIVE"><data-type>BOOLEAN</data-type><default-value>TRUE</default-value></column>
      <column name="OWNER_ID"><data-type>INTEGER</data-type></column>
      <column name="REGION"><data-type>CHAR</data-type><max-size>4</max-size></column>
    </columns>
    <primary-key>
      <primary-key-column>ITEM_ID</primary-key-column>
    </primary-key>
    <foreign-keys>
      <foreign-key reference-table-name="KV_OWNERS">
        <fk-columns>
          <fk-column><fk-local-column>OWNER_ID</fk-local-column><fk-reference-column>OWNER_ID</fk-reference-column></fk-column>
          <fk-column><fk-local-column>REGION</fk-local-column><fk-reference-column>REGION</fk-reference-column></fk-column>
        </fk-columns>
        <fk-constraints>ON-DELETE-CASCADE</fk-constraints>
      </foreign-key>
    </foreign-keys>
  </table>
  <table name="KV_BLOBS">
    <description>Long binary data and text: MySQL's alone.</description>
    <columns>
      <column name="BLOB_ID"><data-type>INTEGER</data-type><nullable>false</nullable></column>
      <column name="DATA"><data-type>BLOB</data-type></column>
      <column name="DOC"><data-type>CLOB</data-type></column>
    </columns>
    <primary-key>
      <primary-key-column>BLOB_ID</primary-key-column>
    </primary-key>
  </table>
  <table name="KV_BIG">
    <description>Unsigned 64-bit numbers: PostgreSQL's alone.</description>
    <columns>
      <column name="BIG_ID"><data-type>INTEGER</data-type><nullable>false</nullable></column>
      <column name="BIG"><data-type>TARN_SQL_UNSIGNED_LONG_INT</data-type></column>
    </columns>
    <primary-key>
      <primary-key-column>BIG_ID</primary-key-column>
    </primary-key>
  </table>
  <table name="SeqGenState">
    <columns>
      <column name="SEQNAME"><data-type>TARN_SQL_CHAR</data-type><max-size>40</max-size><nullable>false</nullable></column>
      <column name="CURRENTBATCHEND"><data-type>INTEGER</data-type></column>
    </columns>
    <primary-key>
      <primary-key-column>SEQNAME</primary-key-column>
    </primary-key>
  </table>
</data-dictionary>
)xml";

const char* const kUnsupportedDictionary = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<!-- Columns of types no dialect has a column for, between two that it has. -->
<data-dictionary>
  <table name="KV_ODD">
    <columns>
      <column name="ODD_ID"><data-type>INTEGER</data-type></column>
      <column name="RATIO"><data-type>FLOAT</data-type><nullable>false</nullable><unique>true</unique></column>
      <column name="AMOUNT"><data-type>TARN_SQL_DOUBLE</data-type></column>
      <column name="NAME"><data-type>CHAR</data-type></column>
      <column name="MISC"><description>no data type: code 0</description></column>
    </columns>
  </table>
</data-dictionary>
)xml";

}  // namespace kv::test
