#pragma once
// Lets the zone conversions read the VTIMEZONE definitions kept in a store: a TZID that no
// alias line names resolves through the offsets of its stored zone.
class ROrvaneDataManager;

// Makes `store` the source of stored zone offsets; the look-up keeps a reference to the store
// until it is removed or replaced.
void InstallStoredZoneOffsetsFinder(ROrvaneDataManager* store);
// Removes the look-up and lets go of its store.
void RemoveStoredZoneOffsetsFinder();
