"""Test image builder: layouts, filler and ground truth (see tools/README.md)."""
