#pragma once

#include <QtGlobal>
#include <optional>
#include <sys/types.h>

namespace quillmer::platform {

// The peak resident memory of a process of this user, in KiB, as the kernel
// keeps it (VmHWM); none when the process is gone or cannot be read.
std::optional<qint64> peakResidentKiB(pid_t pid);

// Starts the process's peak afresh from its present resident memory (the
// kernel's clear_refs 5), so that a process kept from job to job shows each
// job's own peak. False when the kernel would not.
bool resetPeakResident(pid_t pid);

} // namespace quillmer::platform
