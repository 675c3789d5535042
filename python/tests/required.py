"""Modules a test needs of the machine (PyQt6, its tools): where one is missing the test
skips, as on a developer's partial set-up, unless KYV_REQUIRE_TEST_TOOLS is set (the
project's test command sets it): then it fails, so that a run without them does not pass
having tested less."""
import importlib
import os

import pytest


def need(module):
    """The module `module`, imported; skips or fails the test where it cannot be."""
    if not os.environ.get("KYV_REQUIRE_TEST_TOOLS"):
        return pytest.importorskip(module)
    try:
        return importlib.import_module(module)
    except ImportError as e:
        pytest.fail(f"{module} cannot be imported: {e}", pytrace=False)
