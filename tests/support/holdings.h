// What the process holds that a failed operation must give back: open descriptors, netCDF ids,
// file slots and list member entries. Take one before an operation and one after; a failure
// path that leaves anything behind shows as a difference.
#ifndef KAVRO_TESTS_SUPPORT_HOLDINGS_H
#define KAVRO_TESTS_SUPPORT_HOLDINGS_H

#include <ostream>

namespace kavro_test {

struct Holdings {
  int descriptors = 0;   // entries of /proc/self/fd (the listing's own one not counted)
  int netcdf_ids = 0;    // ids the netCDF library answers for
  int slots = 0;         // file slots not free
  int list_entries = 0;  // member entries handed out to lists

  friend bool operator==(const Holdings&, const Holdings&) = default;
};

// Counts what the process holds now.
Holdings holdings();

std::ostream& operator<<(std::ostream& os, const Holdings& h);

}  // namespace kavro_test

#endif  // KAVRO_TESTS_SUPPORT_HOLDINGS_H
