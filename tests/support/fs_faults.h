#pragma once
// The file-system seam's fault table installed for the scope of a test: a
// full disk, short reads, locked and read-only files (which a host where
// root ignores both cannot show otherwise), without touching a real disk.
#include "opsys/fs.h"

namespace qwtest {

class ScopedFsFaults {
public:
    ScopedFsFaults() : previous_(FsSetFaults(&state)) {}
    ~ScopedFsFaults() { FsSetFaults(previous_); }
    ScopedFsFaults(const ScopedFsFaults&) = delete;
    ScopedFsFaults& operator=(const ScopedFsFaults&) = delete;
    FsFaults state;

private:
    FsFaults* previous_;
};

} // namespace qwtest
