#pragma once
// Skipping the part of a long series that lies before the range being shown. Stepping a rule
// from its first occurrence costs one step per occurrence, so a weekly series begun years ago
// would cost hundreds of steps for every month drawn. For the rules whose steps repeat with a
// fixed period, the seed found here is a date-time from which the stepper gives exactly the
// occurrences it would give after that point when stepped all the way from the first one.
// SeriesSeed is a plain value; FindSeriesSeed keeps no state and may run on any thread.
#include "foundation/datetime/RDateTime.h"

class RIcsRecurrence;

struct SeriesSeed {
    RDateTime dateTime;
    // The rule's generated count at the seed: 1 + the occurrences passed over.
    int generatedCount = 1;
};

// A seed later than `first` and earlier than `bound`, or false when none can be given (a rule
// shape without a fixed period, a COUNT that cannot be carried over, or no room before bound).
bool FindSeriesSeed(const RIcsRecurrence& rule, const RDateTime& first, const RDateTime& bound, SeriesSeed& seed);
