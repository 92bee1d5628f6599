#pragma once
// Checking an evidence package again (see EvidencePackage.h), with nothing but its folder.
// Three records of the same files must agree with the files and with each other: SHA256SUMS
// (names and hashes), manifest.json (names, sizes and hashes, and the packets of each track of
// the lossless clip) and the packet comparison of that clip with the copied originals, which
// are hashed whole. A file that is missing, changed, added (also a folder, a link or a special
// file) or listed differently by SHA256SUMS and the manifest is named.
//
// Only regular files inside the folder are read: a listed name that is absolute, climbs out
// with "..", or passes through a symbolic link, and anything that is not a regular file, is
// refused by its own name without being opened, so a FIFO or a device never blocks the check.
// SHA256SUMS is read as `sha256sum -c` reads it (either case of hex digits, CRLF line ends).
// A share copy (manifest.json says so, and lists no lossless clip and no packets) holds
// neither originals nor clip.mp4: its files are checked against both records, nothing more.
//
// The fingerprint is the SHA-256 of SHA256SUMS: whoever holds it can tell this package from
// any other. Without a signature (SHA256SUMS.p7s, see PackageSignature.h) the check proves
// that the package is consistent, not who made it: anyone can rebuild all three records.
//
// No Qt. Runs on the caller's thread.

#include <cstdint>
#include <string>
#include <vector>

#include "evidence/PackageSignature.h"
#include "evidence/PacketProof.h"

struct VerifyProblem {
    enum class Kind { Missing, Changed, Added, ListedDifferently, Refused };
    Kind kind;
    std::string file;    // relative to the package, as listed or as found
    std::string detail;  // what differs, in a few words; may be empty
};

struct VerifyReport {
    std::string fingerprint;  // SHA-256 of SHA256SUMS
    int64_t filesChecked = 0;
    std::vector<VerifyProblem> problems;
    std::vector<TrackProof> proof;
    std::string proofError;  // the clip or an original could not be read
    bool shareCopy = false;  // a blurred copy without originals: nothing to compare packets of
    bool isSigned = false;
    SignatureCheck signature;
    bool Holds() const;
};

// The word a problem is printed with ("missing", "changed", ...).
const char* VerifyProblemWord(VerifyProblem::Kind kind);

// caPath: the CA the signer's certificate must lead to; empty: the signature alone is checked.
// False, with the cause in *error, when dir is not a package (no readable SHA256SUMS).
bool VerifyPackage(const std::string& dir, const std::string& caPath, VerifyReport* report,
                   std::string* error);
