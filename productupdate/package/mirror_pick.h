// Which copy of a package a run fetches: one of the list's URLs at random,
// different between processes and runs, so that clients spread over the
// mirrors and one dead mirror fails only its share of them.
#pragma once

#include <cstddef>

// An index below count (0 for a count of 0).
size_t PickMirror(size_t count);
