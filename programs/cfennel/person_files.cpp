#include "person_files.h"

#include <cstdio>
#include <memory>


namespace kv {
namespace {

struct StreamClose {
  void operator()(std::FILE* stream) const { std::fclose(stream); }
};

}  // namespace

Status ReadHostFile(const std::string& hostPath, std::string& text) {
  const std::unique_ptr<std::FILE, StreamClose> stream(OpenHostStream(hostPath, "rb"));
  if (!stream) return Status::Failure("the file cannot be read", Status::Code::kNotFound);
  char buffer[65536];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, stream.get())) > 0;) text.append(buffer, got);
  if (std::ferror(stream.get())) return Status::Failure("the file cannot be read to its end", Status::Code::kFailed);
  return Status::Ok();
}

}  // namespace kv
