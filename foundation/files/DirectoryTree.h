#pragma once
// Removal of an account's or a calendar's folder with everything in it.
// Threads: plain functions; any thread.

// Deletes the folder (or file) at the UTF-16 path with everything below it, silently.
// Returns 0 or the platform's error number (errno): ENOENT when nothing is there, EINVAL for a
// null or empty path or one that reduces to the root or the current folder.
int DeleteDirectoryTree(const char16_t* path);
