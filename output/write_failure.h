// Why a write ended without its file written, as the file layer tells it with its answer: the
// first failure that ended the write, never one of the clean-up after it.
#pragma once

#include <cstdint>

enum FailureKind {
    FailureUntold,   // nothing told why
    FailureSystem,   // the system refused a step: Code is its error code
    FailureDevice,   // the name opens a device, not a disk file (nul.cfg, com1.cfg)
    FailureBadName,  // the file system cannot hold the name
    FailureReadOnly,
    FailureHeld,  // another program held a file past every wait
    FailureDiskFull,
};

struct WriteFailure {
    FailureKind Kind;
    uint32_t Code;
};

// Keeps the first failure told: a later one is the clean-up's.
inline void TellFailure(WriteFailure* why, FailureKind kind, uint32_t code = 0) {
    if (why && why->Kind == FailureUntold) *why = {kind, code};
}
