#include "support/test_env.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "core/state.h"
#include "kavro/settings.h"

namespace kavro_test {

ScopedEnv::ScopedEnv(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
  if (const char* v = std::getenv(name_.c_str())) old_ = v;
  if (value) {
    setenv(name_.c_str(), value->c_str(), 1);
  } else {
    unsetenv(name_.c_str());
  }
}

ScopedEnv::~ScopedEnv() {
  if (old_) {
    setenv(name_.c_str(), old_->c_str(), 1);
  } else {
    unsetenv(name_.c_str());
  }
}

TempDir::TempDir() {
  // No hyphen before the random part: "-v" in a path marks a file-list member volatile, and
  // mkdtemp may well pick a 'v' first.
  std::string templ = (std::filesystem::temp_directory_path() / "kavro_test_XXXXXX").string();
  char* p = mkdtemp(templ.data());
  if (p == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = p;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> read_lines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

void write_file(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::string run_command(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return out;
  std::array<char, 4096> buf{};
  while (std::fgets(buf.data(), int(buf.size()), p) != nullptr) out += buf.data();
  pclose(p);
  return out;
}

LibraryTest::LibraryTest() {
  for (const char* name : kLibraryVariables) {
    env_.push_back(std::make_unique<ScopedEnv>(name, std::nullopt));
  }
  // Every row of the library's settings table, so a new setting is cleared without a word here.
  for (const kavro::LibrarySetting& s : kavro::library_settings()) {
    env_.push_back(std::make_unique<ScopedEnv>(std::string(s.name), std::nullopt));
  }
  env_.push_back(std::make_unique<ScopedEnv>("LOGFILE", log_path()));
  kavro::test_hooks::reset_state();
}

LibraryTest::~LibraryTest() { kavro::test_hooks::reset_state(); }

}  // namespace kavro_test
