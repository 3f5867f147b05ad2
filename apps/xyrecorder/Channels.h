// Which of a recording's channels a run records: those --channels names, or
// all of them up to the host's 32 slots; and the two an X-Y plot needs.
#pragma once

#include <string>

#include "signals/StoredSignals.h"

// Keeps the channels that wanted names, in the file's order: comma-separated
// numbers ("12"), ranges of numbers ("1-8"), titles (any case) and titles with
// wildcards ("EEG*", "?-Cz"). A title wins over a number it looks like. With
// nothing wanted, a recording of more than 32 channels keeps the first 32 and
// a note names those left out. Throws UsageError for an item that is no
// selection ("3-1", an empty one) and InputError for one that matches no
// channel or a selection of more than 32; source names the file in messages.
void SelectChannels(StoredSignals& signals, const std::string& wanted, const std::string& source);

// Throws InputError unless the recording has two channels or more: an X-Y
// plot puts one on each axis.
void RequireTwoChannels(const StoredSignals& signals, const std::string& source);
