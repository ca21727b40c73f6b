// Where the data of a classic netCDF file ends, as its header describes it: the place a test
// cuts a file at to make it short, or appends after to make it long.
#ifndef KAVRO_TESTS_SUPPORT_CLASSIC_END_H
#define KAVRO_TESTS_SUPPORT_CLASSIC_END_H

#include <cstdint>
#include <string>

namespace kavro_test {

// The end of the last variable's data (its last record's, for a record variable) in the file
// at PATH; the test fails (and 0 is returned) when the header does not parse.
std::uint64_t classic_data_end(const std::string& path);

}  // namespace kavro_test

#endif  // KAVRO_TESTS_SUPPORT_CLASSIC_END_H
