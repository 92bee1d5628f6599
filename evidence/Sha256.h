#pragma once
// SHA-256 of a file, as `sha256sum` prints it (64 lower-case hex digits).

#include <cstdint>
#include <string>

// False, with the reason in *error, when the file cannot be read to its end.
bool Sha256OfFile(const std::string& path, std::string* hex, std::string* error);

// Copies source to target byte for byte (target must not exist yet) and hashes the bytes on
// the way; false, with the reason in *error, when either file fails. A failed copy leaves no
// target behind.
bool CopyAndHash(const std::string& source, const std::string& target, std::string* hex,
                 uint64_t* bytes, std::string* error);
