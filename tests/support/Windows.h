#pragma once
// Whether this run has a display: tests that need real windows skip themselves without one.

// Asked once per program, by creating and destroying a small window.
bool CanCreateWindows();
