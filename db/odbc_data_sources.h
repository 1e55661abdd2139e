#pragma once
// ODBC data sources made by the store: one from its parts, or one per line
// of a file.

namespace kv {

// Adds data source dsn of the driver with the attributes DESCRIPTION,
// SERVER, UID, PWD and DATABASE (each left out when null or the word
// "NULL", any case). The driver's own set-up adds it; a driver that has
// none (as unixODBC's have not) gets the data source written into the
// data-source list by the ODBC installer. False when neither works.
[[nodiscard]] bool CreateDSN(const char* dsn, const char* description, const char* server, const char* user, const char* password,
               const char* database, const char* driver);

// One data source per line: DSN, description, server, user, password and
// database words, then the driver's name as the rest of the line. False
// only when the file cannot be opened.
[[nodiscard]] bool CreateDSNFromFile(const char* path);

}  // namespace kv
