#include "platform/KernelCopy.h"

#include <cerrno>

#ifdef __linux__
#include <sys/types.h>
#include <unistd.h>
#endif

namespace kovra {

bool TKernelCopy::Available() {
#ifdef __linux__
  return true;
#else
  return false;
#endif
}

int64_t TKernelCopy::Copy(int in, uint64_t inOffset, int out, uint64_t outOffset, size_t count) {
#ifdef __linux__
  loff_t from = static_cast<loff_t>(inOffset);
  loff_t to = static_cast<loff_t>(outOffset);
  for (;;) {
    const ssize_t n = ::copy_file_range(in, &from, out, &to, count, 0);
    if (n >= 0) return n;
    if (errno != EINTR) return -errno;
  }
#else
  (void)in, (void)inOffset, (void)out, (void)outOffset, (void)count;
  return -ENOSYS;
#endif
}

bool TKernelCopy::Refused(int error) {
  switch (error) {
    case ENOSYS:
    case EXDEV:
    case EINVAL:
    case EBADF:
    case EPERM:
    case ETXTBSY:
#ifdef EOPNOTSUPP
    case EOPNOTSUPP:
#endif
#if defined(ENOTSUP) && (!defined(EOPNOTSUPP) || ENOTSUP != EOPNOTSUPP)
    case ENOTSUP:
#endif
      return true;
    default:
      return false;
  }
}

bool TKernelCopy::OutputFault(int error) {
  switch (error) {
    case ENOSPC:
    case EFBIG:
#ifdef EDQUOT
    case EDQUOT:
#endif
      return true;
    default:
      return false;
  }
}

TKernelCopy& DefaultKernelCopy() {
  static TKernelCopy copy;
  return copy;
}

}  // namespace kovra
