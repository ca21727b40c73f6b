// Numbers as text for the log and the CSV: the shortest form that reads back to the same bits
// (what std::to_chars gives without a precision), so a value written is a value kept.
#ifndef BRINDLEWICK_NUMBER_TEXT_H
#define BRINDLEWICK_NUMBER_TEXT_H

#include <cstdint>
#include <string>

namespace brindlewick {

// Appends the shortest round-trip form: "0.0452", "1e+30", "-0", "nan", "-inf".
void append_shortest(std::string& out, float v);
void append_shortest(std::string& out, double v);
void append_integer(std::string& out, std::int64_t v);

// A value of a variable of type `vtype` for reading: an INTEGER variable's whole numbers as
// integers, a REAL variable's numbers at single precision, a DOUBLE variable's at double.
std::string value_text(double v, int vtype);

}  // namespace brindlewick

#endif  // BRINDLEWICK_NUMBER_TEXT_H
