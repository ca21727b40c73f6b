// What every file-shaped fuzz input goes through: the library started afresh, the file opened
// by logical name, described, and read variable by variable, layer by layer and step by step,
// then closed, through both data paths; a file that does not open or describe is told as the
// tool tells it (the survey of what it lacks, then the line with the cause). Reads are sized, so
// a file can only make the library refuse, never write past a buffer. Also the small helpers
// the targets share.
#ifndef KAVRO_FUZZ_EXERCISE_H
#define KAVRO_FUZZ_EXERCISE_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace kavro_fuzz {

// Standard output to /dev/null, the log discarded: the targets run millions of times.
void quiet() noexcept;

// A path of this process for the target's scratch file NAME.
std::string scratch(const std::string& name);

// Writes BYTES to PATH; false when it cannot.
bool write_bytes(const std::string& path, const std::uint8_t* data, std::size_t size);

// Opens PATH as INFILE1, describes it and reads from it, once through the direct data path
// and once through the netCDF library (KAVRO_DIRECT_READ=N); stops the process when the two
// differ in any result or byte. Returns the number of reads that succeeded.
int exercise_file(const std::string& path);

// Opens PATH as the native binary file INFILE1 ("BIN:" PATH), describes it and reads from it.
// Returns the number of reads that succeeded.
int exercise_binary(const std::string& path);

// Bytes of an input taken in order; past the end every value is 0.
class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::int32_t int32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | byte();
    return static_cast<std::int32_t>(v);
  }
  // One of the N choices.
  template <typename T, std::size_t N>
  T pick(const T (&choices)[N]) {
    return choices[byte() % N];
  }
  std::string rest() {
    const std::string s(reinterpret_cast<const char*>(data_) + pos_, size_ - pos_);
    pos_ = size_;
    return s;
  }
  bool empty() const { return pos_ >= size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

}  // namespace kavro_fuzz

#endif  // KAVRO_FUZZ_EXERCISE_H
