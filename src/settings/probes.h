#pragma once

#include "errors/errorhandler.h"
#include "settings/registry.h"

#include <QString>

#include <optional>

namespace quillmer {

// 1 when one of the supported spreadsheet versions has an install root with
// a non-empty "Path" (even a text of just its NUL), else 0. Reads the roots
// oldest first and stops at the first one found.
qint16 CheckExcelInstalled(const Registry& registry);

// The fields of the Windows version record that matter here.
struct VersionRecord
{
    quint32 platformId = 0;
    quint32 major = 0;
    quint32 minor = 0;
};

// The short name of a Windows version: "95", "98", "ME", "3.51", "4.0",
// "2000", "WinXP/.NET Server", "" for others of a known family, and "Failed"
// for an unknown platform id (0 included, as a failed query leaves it).
QString windowsVersionName(const VersionRecord& record);

// Where the version record comes from.
class VersionSource
{
public:
    virtual ~VersionSource() = default;
    // The record, or nothing when the system is not Windows at all. A failed
    // query gives a record whose platform id is 0; a broken source throws.
    virtual std::optional<VersionRecord> query() = 0;
};

// Linux has no Windows version.
class NoWindowsVersion : public VersionSource
{
public:
    std::optional<VersionRecord> query() override { return std::nullopt; }
};

// The name of the running Windows version; "" where there is none. A failure
// goes to HandleError as "modSettings : Main()" and gives the name so far.
QString GetWindowsVersionName(VersionSource& source, ErrorHandler& errors);

} // namespace quillmer
