#include "run_log.h"

#include "base/log_writer.h"

namespace kv {

RunLog::RunLog(const RunDirectory& run) : run_(run) {
  if (!run.made()) return;
  ResetLogger();
  open_ = InitLoggerDefaults() && SetLoggerParams("cfennel.log", run.path().c_str(), LOG_LEVEL_ERROR) && CreateLogFile();
}

RunLog::~RunLog() { ResetLogger(); }

void RunLog::KeepErrorsOnly() {
  // The open log stays as it is; only its level changes back.
  if (open_) (void)SetLoggerParams("cfennel.log", run_.path().c_str(), LOG_LEVEL_ERROR);
}

}  // namespace kv
