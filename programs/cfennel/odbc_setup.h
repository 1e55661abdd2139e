#pragma once
// A data directory may carry its own ODBC configuration: "odbc.ini" (the
// data sources its connections name) and "odbcinst.ini" (their drivers)
// beside the store's data files. cfennel then uses it instead of the
// system's, with each relative Database path of a data source taken from
// the data directory, so that the directory works wherever it lies.

#include <string>

#include "run_directory.h"

namespace kv {

// Sets up the configuration of <root>\data in the run's directory. Empty
// when done or when the data directory has none; else why it failed.
std::string UseDataDirectoryOdbc(const std::string& root, const RunDirectory& run);

}  // namespace kv
