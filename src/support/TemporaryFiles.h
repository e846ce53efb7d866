#pragma once
// The temporary files beside a file that is being replaced or created: FileName + "." and
// six letters or digits. Their writer holds a lock on them (flock) for their whole life,
// so that what a writer killed in the middle left behind can be told from a save that is
// running in another process at the same moment: the kernel drops a dead writer's lock.
#include <string>

#include "support/UniqueFd.h"

namespace brix32 {

// Creates a new temporary beside FileName with the mode a plain create gives, and locks
// it; sets TempName. Invalid with errno set when it cannot be created.
UniqueFd CreateLockedTemporary(const std::string& FileName, std::string& TempName);

// Removes the temporaries of FileName that no writer holds any more: only entries named
// exactly FileName + "." + six letters or digits, only regular files (a link of such a
// name is never followed nor removed), and only when their lock can be taken. Errors are
// ignored: what cannot be removed now is tried again at the next save.
void RemoveLeftoverTemporaries(const std::string& FileName);

}  // namespace brix32
