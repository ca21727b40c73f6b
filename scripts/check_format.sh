#!/usr/bin/env bash
# The C, C++ sources and headers of the project as .clang-format lays them out: prints each
# file clang-format would change and exits 1 if there is one. `clang-format -i FILE` fixes it.
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "$root"
bad=0
while IFS= read -r file; do
  if ! clang-format --dry-run -Werror "$file" >/dev/null 2>&1; then
    echo "not formatted: $file"
    bad=1
  fi
done < <(find lib driver tests tools bench fuzz examples python \
           \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -not -path '*/corpus/*' | sort)
exit "$bad"
