// What check says of the pins of the packages (sha256 and size of a list):
// what no module reads, what a keyed module refuses, and one URL pinned two
// ways by two lists.
#pragma once

#include <string>

#include "check_context.h"

// The pin of one list that names URLs.
void CheckPin(CheckContext& check, const std::string& section);

// Every URL is a copy of one package: lists that share a URL must pin it alike.
void CheckSharedPins(CheckContext& check);
