#include "folder/accept.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "folder/folder_pairs.h"

namespace brindlewick {
namespace fs = std::filesystem;
namespace {

std::string failure(const std::string& what, const std::string& path) {
  return "could not " + what + " \"" + path + "\": " + std::strerror(errno);
}

bool write_all(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// SOURCE copied to a new temporary file beside TARGET, flushed to disk; its name in TEMP.
bool copy_beside(const std::string& source, const fs::path& target, std::string& temp,
                 std::string& error) {
  const int in = ::open(source.c_str(), O_RDONLY);
  if (in < 0) {
    error = failure("read", source);
    return false;
  }
  temp = (target.parent_path() / ".brindlewick-accept.XXXXXX").string();
  const int out = ::mkstemp(temp.data());
  if (out < 0) {
    error = failure("create a file beside", target.string());
    ::close(in);
    return false;
  }
  char buffer[1 << 16];
  bool ok = true;
  for (;;) {
    const ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = failure("read", source);
      ok = false;
      break;
    }
    if (n == 0) break;
    if (!write_all(out, buffer, static_cast<std::size_t>(n))) {
      error = failure("write", temp);
      ok = false;
      break;
    }
  }
  struct stat st {};
  if (ok && ::fstat(in, &st) == 0) ::fchmod(out, st.st_mode & 07777);
  if (ok && ::fsync(out) != 0) {
    error = failure("write", temp);
    ok = false;
  }
  ::close(in);
  if (::close(out) != 0 && ok) {
    error = failure("write", temp);
    ok = false;
  }
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

// The file about to be replaced, kept under the replaced folder: a second link to it, or a
// copy where links are not possible.
bool keep_replaced(const fs::path& target, const fs::path& kept, std::string& error) {
  std::error_code ec;
  fs::create_directories(kept.parent_path(), ec);
  if (ec) {
    error = "could not create \"" + kept.parent_path().string() + "\": " + ec.message();
    return false;
  }
  if (::link(target.c_str(), kept.c_str()) == 0) return true;
  fs::copy_file(target, kept, fs::copy_options::overwrite_existing, ec);
  if (!ec) return true;
  error = "could not keep \"" + target.string() + "\": " + ec.message();
  return false;
}

bool append_log(const fs::path& log, const std::string& line, std::string& error) {
  const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  const bool ok = fd >= 0 && write_all(fd, line.data(), line.size());
  if (!ok) error = failure("write", log.string());
  if (fd >= 0 && ::close(fd) != 0 && ok) {
    error = failure("write", log.string());
    return false;
  }
  return ok;
}

// KAVRO_TEST_ACCEPT_STOP_AFTER: the number of files after which the process is killed.
long stop_after() {
  const char* v = std::getenv("KAVRO_TEST_ACCEPT_STOP_AFTER");
  return v == nullptr ? -1 : std::strtol(v, nullptr, 10);
}

}  // namespace

std::string accept_stamp() {
  if (const char* now = std::getenv("KAVRO_TEST_NOW"); now != nullptr) return now;
  const std::time_t t = std::time(nullptr);
  std::tm utc{};
  char text[32] = "";
  if (::gmtime_r(&t, &utc) != nullptr) std::strftime(text, sizeof text, "%Y%m%dT%H%M%S", &utc);
  return text;
}

std::string accepted_line(const std::string& stamp, const PairResult& pair,
                          const std::string& note) {
  std::string line = stamp + "\t" + pair.path + "\t";
  if (pair.verdict == PairVerdict::kOnlyInDir2) line.append("new");
  for (std::size_t i = 0; i < pair.categories.size(); ++i) {
    if (i > 0) line.append(",");
    line.append(pair.categories[i]);
  }
  line.append("\t");
  for (const char c : note) line.push_back(c == '\t' || c == '\n' || c == '\r' ? ' ' : c);
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';  // a file name stays on its line too
  }
  return line + "\n";
}

bool accept_baseline(const FolderResult& result, const std::string& note, std::size_t& accepted,
                     std::string& error) {
  accepted = 0;
  const std::string stamp = accept_stamp();
  const fs::path dir1(result.dir1);
  const long stop = stop_after();
  for (const PairResult& pair : result.pairs) {
    if (pair.verdict != PairVerdict::kDiffer && pair.verdict != PairVerdict::kOnlyInDir2) {
      continue;
    }
    if (stop >= 0 && accepted >= static_cast<std::size_t>(stop)) ::raise(SIGKILL);
    const fs::path target = dir1 / pair.path;
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    if (ec) {
      error = "could not create \"" + target.parent_path().string() + "\": " + ec.message();
      return false;
    }
    std::string temp;
    if (!copy_beside(pair.file2, target, temp, error)) return false;
    const bool replacing = fs::exists(target, ec);
    if (replacing && !keep_replaced(target, dir1 / kReplacedFolder / stamp / pair.path, error)) {
      ::unlink(temp.c_str());
      return false;
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
      error = failure("replace", target.string());
      ::unlink(temp.c_str());
      return false;
    }
    ++accepted;
    if (!append_log(dir1 / kAcceptedLog, accepted_line(stamp, pair, note), error)) return false;
  }
  return true;
}

}  // namespace brindlewick
