#include "platform/writeall.h"

#include <cerrno>
#include <unistd.h>

namespace quillmer::platform {

bool writeAll(int fd, QByteArrayView data)
{
    const char* at = data.data();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, at, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        at += n;
        left -= n;
    }
    return true;
}

} // namespace quillmer::platform
