// Test helpers: scoped environment variables, a private directory per test, file reading,
// and a fixture base that starts every test from a clean library.
#ifndef KAVRO_TESTS_SUPPORT_TEST_ENV_H
#define KAVRO_TESTS_SUPPORT_TEST_ENV_H

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace kavro_test {

// Sets (or unsets, with nullopt) an environment variable and restores it on destruction.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, std::optional<std::string> value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// A fresh directory, removed with its contents on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string read_file(const std::string& path);
// The file's lines without their newlines.
std::vector<std::string> read_lines(const std::string& path);
void write_file(const std::string& path, const std::string& text);
// What a shell command prints on standard output (ncdump, ncgen).
std::string run_command(const std::string& command);

// Every variable the library reads, cleared for the test.
inline const char* const kLibraryVariables[] = {
    "LOGFILE",         "SCENFILE", "EXECUTION_ID", "KAVRO_CHECK_HEADERS",
    "KAVRO_OFFSET_64", "STACK1",   "INFILE1",      "INFILE2"};

// Base fixture: a private directory, LOGFILE pointing at a fresh log in it, the library's
// variables cleared, and the library's state reset before and after the test.
class LibraryTest : public ::testing::Test {
 protected:
  LibraryTest();
  ~LibraryTest() override;
  // The log written so far.
  std::vector<std::string> log_lines() const { return read_lines(log_path()); }
  std::string log_text() const { return read_file(log_path()); }
  std::string log_path() const { return dir_.file("test.log"); }
  const TempDir& dir() const { return dir_; }

 private:
  TempDir dir_;
  std::vector<std::unique_ptr<ScopedEnv>> env_;
};

}  // namespace kavro_test

#endif  // KAVRO_TESTS_SUPPORT_TEST_ENV_H
