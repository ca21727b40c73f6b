// The file-list kind: a logical name whose value starts "LIST:" names a sequence of files read
// as one file in time. Its members are ordinary slots; the list's slot holds the shared
// description and the member entries (LISTFIRST3, LISTCOUNT3, MEMBERFID3, MEMBERBEG3,
// MEMBEREND3).
#ifndef KAVRO_LIST_FILE_LIST_H
#define KAVRO_LIST_FILE_LIST_H

#include <string_view>

#include "core/kinds.h"

namespace kavro {

// Opens the members of the list in slot FID.
bool OPNLIST3(int fid, std::string_view pname);

namespace detail {
extern const FileKind kListKind;
}  // namespace detail

}  // namespace kavro

#endif  // KAVRO_LIST_FILE_LIST_H
