#pragma once
// Everything the store keeps for the whole process back to what a new
// process starts with: the tables and views, the data dictionary, the
// identifier generators, the use cases, the notification listeners and the
// store's root directory. A program that runs the store more than once (the
// tests, one after the other) starts and ends each run with it; a value the
// store comes to keep for the process is reset here, with the others.

namespace kv {

void ResetStoreState();

}  // namespace kv
