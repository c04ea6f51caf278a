"""``python -m travok_dsm``: the command line."""

import sys

from travok_dsm.cli import main

if __name__ == "__main__":
    sys.exit(main())
