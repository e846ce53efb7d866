#pragma once
// How the change filter becomes an inotify mask, and how an inotify event becomes an
// action (or nothing) under that filter.
#include <cstdint>
#include <optional>

#include "components/DirMonitor.h"

namespace components {

// The events to ask inotify for; 0 for an empty filter.
std::uint32_t InotifyMask(TFilter Filter);

// The action an event with inotify mask `Mask` reports under `Filter`, or nothing:
// created/deleted/moved names need nfFILE_NAME (files) or nfDIR_NAME (folders); with
// nfFILE_NAME but not nfDIR_NAME, no folder event is reported at all.
std::optional<TAction> MapInotifyEvent(std::uint32_t Mask, TFilter Filter);

}  // namespace components
