#!/usr/bin/env bash
# Runs the tests of the state that threads share under ThreadSanitizer
# (preset "tsan", build-tsan/): the log writer and object locks, the log's
# rotation timer, the sequence generator and the connection pool. Any race
# report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh tsan
export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}"
build-tsan/bin/kv_base_tests --gtest_filter='LogWriter*:ObjectLock*'
build-tsan/bin/kv_runtime_tests --gtest_filter='LogRotation*:LogProcesses*'
build-tsan/bin/kv_store_tests --gtest_filter='Sequence*'
build-tsan/bin/kv_db_tests --gtest_filter='ConnectionPool*:*Sequence*'
