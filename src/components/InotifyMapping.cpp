#include "components/InotifyMapping.h"

#include <sys/inotify.h>

namespace components {

namespace {

constexpr std::uint32_t kNameEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;

bool AttributeFilter(TFilter Filter) {
  return Filter.Contains(nfATTRIBUTES) || Filter.Contains(nfCREATION) || Filter.Contains(nfSECURITY);
}

}  // namespace

std::uint32_t InotifyMask(TFilter Filter) {
  std::uint32_t mask = 0;
  if (Filter.Contains(nfFILE_NAME) || Filter.Contains(nfDIR_NAME)) mask |= kNameEvents;
  if (Filter.Contains(nfSIZE)) mask |= IN_MODIFY;
  // A write counts once, when the writer closes the file: a file written in several
  // pieces is reported complete, not once per piece.
  if (Filter.Contains(nfLAST_WRITE)) mask |= IN_CLOSE_WRITE;
  if (Filter.Contains(nfLAST_ACCESS)) mask |= IN_ACCESS;
  // Permissions, owner and explicitly set time stamps all arrive as IN_ATTRIB; Linux has
  // no creation time that could change on its own.
  if (AttributeFilter(Filter)) mask |= IN_ATTRIB;
  return mask;
}

std::optional<TAction> MapInotifyEvent(std::uint32_t Mask, TFilter Filter) {
  const bool folder = (Mask & IN_ISDIR) != 0;
  if (folder && Filter.Contains(nfFILE_NAME) && !Filter.Contains(nfDIR_NAME)) return std::nullopt;

  if (Mask & kNameEvents) {
    if (!Filter.Contains(folder ? nfDIR_NAME : nfFILE_NAME)) return std::nullopt;
    if (Mask & IN_CREATE) return faADDED;
    if (Mask & IN_DELETE) return faREMOVED;
    if (Mask & IN_MOVED_FROM) return faRENAMED_OLD_NAME;
    return faRENAMED_NEW_NAME;
  }
  if (((Mask & IN_MODIFY) && Filter.Contains(nfSIZE)) || ((Mask & IN_CLOSE_WRITE) && Filter.Contains(nfLAST_WRITE)) ||
      ((Mask & IN_ACCESS) && Filter.Contains(nfLAST_ACCESS)) || ((Mask & IN_ATTRIB) && AttributeFilter(Filter)))
    return faMODIFIED;
  return std::nullopt;
}

}  // namespace components
