#pragma once
// Removal of one pair of surrounding quotes, in place, from iCalendar parameter values.

// When the text is longer than 2 characters and starts and ends with an apostrophe, removes both.
// A null text is left alone.
void StripSingleQuotes(char* text);
// The same with double quotes.
void StripDoubleQuotes(char* text);
