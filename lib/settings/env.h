// Internals of the setting routines.
#ifndef KAVRO_SETTINGS_ENV_H
#define KAVRO_SETTINGS_ENV_H

namespace kavro::test_hooks {

// While set, the memory SETENVVAR asks for is refused, so its failure path can be seen.
void fail_env_allocations(bool fail) noexcept;

}  // namespace kavro::test_hooks

#endif  // KAVRO_SETTINGS_ENV_H
