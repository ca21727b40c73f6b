#include "netcdf/classic/data_extents.h"

#include <cstdint>

namespace kavro::detail::classic {

namespace {

class LayoutCheck {
 public:
  LayoutCheck(Header& h, Problem& why) noexcept : h_(h), why_(why) {}

  // The data: non-record variables one after another after the header, then the record
  // variables one after another inside a record; all of it inside the file.
  bool layout() noexcept {
    std::uint64_t end = h_.header_end;  // where the data so far ends
    std::uint64_t records = 0;          // padded bytes of the record variables
    const Variable* first_record = nullptr;
    for (int pass = 0; pass < 2; ++pass) {
      for (int i = 0; i < h_.nvars(); ++i) {
        const Variable& v = h_.var(i);
        if (v.record != (pass == 1)) continue;
        if (v.record && first_record == nullptr) first_record = &v;
        if (!placed(v, end)) return false;
        end = v.begin + v.bytes;
        if (v.record) records += padded4(v.bytes);
      }
    }
    if (first_record == nullptr) return true;
    // One record variable alone is not padded.
    h_.recsize = records == padded4(first_record->bytes) ? first_record->bytes : records;
    for (int i = 0; i < h_.nvars(); ++i) {
      const Variable& v = h_.var(i);
      if (!v.record || v.bytes == 0) continue;
      if (v.begin + v.bytes - first_record->begin > h_.recsize) {
        why_ << "variable " << v.name.text.trimmed() << ": data beyond its record";
        return false;
      }
      if (h_.numrecs == 0) continue;
      std::uint64_t last = 0;
      if (__builtin_mul_overflow(h_.numrecs - 1, h_.recsize, &last) ||
          __builtin_add_overflow(last, v.begin + v.bytes, &last) || last > h_.file_size) {
        beyond(v, last);
        // A file cut short, or one whose header counts records not yet written: the records
        // are not counted down to what is there, since the header's count is what the netCDF
        // library reads by.
        why_.format(" (only %llu of its %llu records are whole)",
                    static_cast<unsigned long long>(whole_records(*first_record)),
                    static_cast<unsigned long long>(h_.numrecs));
        return false;
      }
    }
    return true;
  }

  // The records whose every record variable lies inside the file, FIRST being the first
  // record variable.
  std::uint64_t whole_records(const Variable& first) const noexcept {
    std::uint64_t end = first.begin;  // where the data of record 1 ends
    for (int i = 0; i < h_.nvars(); ++i) {
      const Variable& v = h_.var(i);
      if (v.record && v.begin + v.bytes > end) end = v.begin + v.bytes;
    }
    if (end > h_.file_size || h_.recsize == 0) return end > h_.file_size ? 0 : h_.numrecs;
    const std::uint64_t whole = (h_.file_size - end) / h_.recsize + 1;
    return whole < h_.numrecs ? whole : h_.numrecs;
  }

  bool placed(const Variable& v, std::uint64_t end) noexcept {
    if (v.begin < end) {
      why_ << "variable " << v.name.text.trimmed();
      why_.format(": data begin %llu overlaps the header or the data before it (ends at %llu)",
                  static_cast<unsigned long long>(v.begin), static_cast<unsigned long long>(end));
      return false;
    }
    if (!v.record && v.bytes > 0 && v.begin + v.bytes > h_.file_size) {
      return beyond(v, v.begin + v.bytes);
    }
    return true;
  }

  bool beyond(const Variable& v, std::uint64_t last) noexcept {
    why_ << "variable " << v.name.text.trimmed();
    if (last > h_.file_size) {
      why_.format(": data end %llu beyond file size %llu", static_cast<unsigned long long>(last),
                  static_cast<unsigned long long>(h_.file_size));
    } else {
      why_ << ": data end beyond file size";
    }
    return false;
  }

 private:
  Header& h_;
  Problem& why_;
};

}  // namespace

bool check_data_extents(Header& h, Problem& why) noexcept { return LayoutCheck(h, why).layout(); }

}  // namespace kavro::detail::classic
