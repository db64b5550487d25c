"""``python -m zorv_tools``: the ``zorv`` command."""

from .cli import main

raise SystemExit(main())
