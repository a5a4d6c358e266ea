#include "engine/open_status.h"

#include <cerrno>

namespace orvex::engine {

std::string OpenResult::Suffix() const {
  switch (status) {
    case OpenStatus::NotFound:
      return ", device not found";
    case OpenStatus::InUse:
      return ", device in use";
    case OpenStatus::NoAccess:
      return ", invalid access";
    case OpenStatus::Sharing:
      return ", sharing violation";
    case OpenStatus::Ok:
    case OpenStatus::Other:
      break;
  }
  return {};
}

OpenResult OpenResultFromErrno(int err) {
  switch (err) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return {OpenStatus::NotFound, err};
    case EBUSY:
    case EWOULDBLOCK:
      return {OpenStatus::InUse, err};
    case EACCES:
    case EPERM:
      return {OpenStatus::NoAccess, err};
    default:
      return {OpenStatus::Other, err};
  }
}

}  // namespace orvex::engine
