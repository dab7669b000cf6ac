#pragma once
// A fingerprint of a row's values, computed by SQLite while it steps through a select, so that a
// reader can tell whether stored rows changed without copying their texts out. The SQL function
// orvane_row_print(value, ...) answers a 64-bit number from the texts of its arguments in their
// order, NULL told apart from an empty text (numbers count as the texts SQLite gives for them).
// The same values give the same number on every connection of this program; it is not kept in
// the file and used by no stored trigger or view.
// Threads: the function runs on the thread stepping the statement.
struct sqlite3;

inline constexpr char kRowPrintFunction[] = "orvane_row_print";

// Adds the function to an open connection; SQLite's result code.
int AddRowPrintFunction(sqlite3* connection);
