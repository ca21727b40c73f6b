"""python3 -m kavro MANIFEST ...: the batch comparison's command line (kavro-compare-many)."""

import sys

from .cli import main

sys.exit(main())
