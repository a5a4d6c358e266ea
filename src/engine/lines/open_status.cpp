#include "engine/lines/open_status.h"

#include <cerrno>

namespace orvex::engine {

OpenStatus OpenStatusOf(const Result& opened) {
  if (opened.ok()) return OpenStatus::Ok;
  switch (opened.error()) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return OpenStatus::NotFound;
    case EBUSY:
    case EWOULDBLOCK:
      return OpenStatus::InUse;
    case EACCES:
    case EPERM:
      return OpenStatus::NoAccess;
    default:
      return OpenStatus::Other;
  }
}

int StatusNumber(const Result& opened) {
  const OpenStatus status = OpenStatusOf(opened);
  return status == OpenStatus::Other ? opened.error() : static_cast<int>(status);
}

Text StatusWords(const Result& opened) {
  switch (OpenStatusOf(opened)) {
    case OpenStatus::NotFound:
      return "device not found";
    case OpenStatus::InUse:
      return "device in use";
    case OpenStatus::NoAccess:
      return "invalid access";
    case OpenStatus::Ok:
    case OpenStatus::Other:
      break;
  }
  return opened.Description();
}

}  // namespace orvex::engine
