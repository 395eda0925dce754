"""Polling with a deadline, for end-to-end tests."""

import time


def poll(predicate, timeout=10.0, step=0.1):
    """Calls predicate() until it gives a true value or timeout seconds have
    passed; returns its last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(step)
