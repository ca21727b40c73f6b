// The file kinds of this build, listed once, and INIT3, which lists them before it starts the
// library: the one place that knows every kind, above them all.
#ifndef KAVRO_KIND_LIST_H
#define KAVRO_KIND_LIST_H

namespace kavro::detail {

// Installs every kind of this build in the kind table (core/kinds.h), in the order their
// prefixes are tried.
void list_kinds() noexcept;

}  // namespace kavro::detail

#endif  // KAVRO_KIND_LIST_H
