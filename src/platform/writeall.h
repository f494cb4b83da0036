#pragma once

#include <QByteArrayView>

namespace quillmer::platform {

// Writes all of data to the open file or pipe fd, going on after
// interruptions and short writes; false when a write fails.
bool writeAll(int fd, QByteArrayView data);

} // namespace quillmer::platform
