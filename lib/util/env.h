// Internals of the environment routines and string conversions.
#ifndef KAVRO_UTIL_ENV_H
#define KAVRO_UTIL_ENV_H

namespace kavro::detail {

// White space of any kind ends a name in the C conversions: blank, tab, newline, vertical
// tab, form feed, return.
bool is_white(char c) noexcept;

}  // namespace kavro::detail

namespace kavro::test_hooks {

// While set, the memory SETENVVAR asks for is refused, so its failure path can be seen.
void fail_env_allocations(bool fail) noexcept;

}  // namespace kavro::test_hooks

#endif  // KAVRO_UTIL_ENV_H
