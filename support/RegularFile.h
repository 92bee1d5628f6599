#pragma once
// Opening input files without ever blocking on what is not a file. A FIFO named like a
// recording blocks a plain open for reading until a writer comes (for ever, usually), a
// character device may never end, a folder is no input at all: every reader of outside files
// (recordings, stills, profiles, the card's settings) goes through here, so that anything but
// a regular file (symbolic links followed) is refused before it is opened for reading.
//
// The open itself is non-blocking and the type is checked on the opened descriptor, so a file
// swapped for a FIFO between a check and the open cannot slip through. Reads from a regular
// file never see the non-blocking flag: it is cleared once the type is known.
//
// Threads: free functions, callable from any thread.

#include <cstdio>
#include <string>

// Opens path read-only (close-on-exec) when it is a regular file. Returns the descriptor, or
// -1 with *error (when given) set to "PATH: not a regular file" or "PATH: " and the system's
// reason; errno is kept from the failure (EINVAL for a file that is not regular).
int OpenRegularFile(const std::string& path, std::string* error = nullptr);

// The same as a stdio stream opened "rb"; nullptr on failure.
FILE* OpenRegularFileStream(const std::string& path, std::string* error = nullptr);

// For readers that open the file themselves (std::ifstream, Qt): true when path is a regular
// file that can be opened for reading, checked through a non-blocking open.
bool IsReadableRegularFile(const std::string& path, std::string* error = nullptr);
