#pragma once
// Failures of the ODBC seam on demand, for the tests of what the store does
// when a database call fails: while a fault is armed, the Nth call of this
// thread that does work on a handle (connecting, preparing, executing,
// fetching, reading data, ending a transaction, allocating a handle) answers
// SQL_ERROR without reaching the driver, and the handle's first diagnostic
// record is then the chosen SQLSTATE. Nothing is armed in a program that
// never calls ArmOdbcFault.

#include <cstddef>

namespace kv {

// Call number n (from 1) from now fails with the five-character sqlState
// ("08S01": the connection is gone; "40001": a serialization failure ...).
void ArmOdbcFault(std::size_t n, const char* sqlState);
// Disarms; true when the armed call failed.
bool DisarmOdbcFault();

}  // namespace kv
