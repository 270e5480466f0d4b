#include "quarrytab/system_message.h"

#include <cerrno>

namespace quarrytab {

std::string SystemMessageText(std::int32_t code) {
  const char* text = nullptr;
  switch (code) {
    case kErrorSuccess:
      text = "The operation completed successfully.";
      break;
    case kErrorFileNotFound:
      text = "The system cannot find the file specified.";
      break;
    case kErrorPathNotFound:
      text = "The system cannot find the path specified.";
      break;
    case kErrorAccessDenied:
      text = "Access is denied.";
      break;
    case kErrorInvalidHandle:
      text = "The handle is invalid.";
      break;
    case kErrorInvalidData:
      text = "The data is invalid.";
      break;
    case kErrorWriteProtect:
      text = "The media is write protected.";
      break;
    case kErrorBadNetPath:
      text = "The network path was not found.";
      break;
    case kErrorInvalidParameter:
      text = "The parameter is incorrect.";
      break;
    case kErrorDiskFull:
      text = "There is not enough space on the disk.";
      break;
    case kErrorMoreData:
      text = "More data is available.";
      break;
    case kErrorRegistryCorrupt:
      text = "The configuration registry database is corrupt.";
      break;
    case kErrorRegistryIoFailed:
      text =
          "An I/O operation initiated by the registry failed unrecoverably. The registry could "
          "not read in, or write out, or flush, one of the files that contain the system's image "
          "of the registry.";
      break;
    default:
      return std::string();
  }
  return std::string(text) + "\r\n";
}

std::int32_t WindowsCodeFromErrno(int err) {
  switch (err) {
    case 0:
      return kErrorSuccess;
    case ENOENT:
      return kErrorFileNotFound;
    case ENOTDIR:
      return kErrorPathNotFound;
    case EACCES:
    case EPERM:
      return kErrorAccessDenied;
    case EROFS:
      return kErrorWriteProtect;
    case ENOSPC:
    case EDQUOT:
      return kErrorDiskFull;
    default:
      return kErrorRegistryIoFailed;
  }
}

}  // namespace quarrytab
