#pragma once

#include "office/libreofficehost.h"
#include "office/spreadsheethost.h"

#include <QString>
#include <chrono>
#include <memory>
#include <sys/types.h>

namespace quillmer::office {

// LibreOffice hosts whose office starts before it is needed. One office, the
// spare, is kept starting or ready on a thread of this factory's own, which
// lives as long as the factory (the offices it starts die with it, by the
// parent-death signal). create() takes the spare and at once starts the
// next, so while one conversion runs, the next one's office is already
// starting; unless the caller has said that no host follows (expectMore(0)):
// then the next spare starts once this host's office has ended, and does
// not take the machine from the conversion that is waiting for it. Every
// host still gets a new instance that no other conversion has used; only
// the moment of its start moves.
//
// A spare that could not start, or that has died or stopped answering since,
// is replaced by one fresh start in create(); error 429 arises only when that
// start fails too. Nothing here waits on the caller's thread except create().
class SpareOfficeHosts final : public SpreadsheetHostFactory
{
public:
    using milliseconds = std::chrono::milliseconds;

    explicit SpareOfficeHosts(QString registryPath,
                              milliseconds timeLimit = LibreOfficeHost::DefaultTimeLimit);
    // Ends the spare and the thread.
    ~SpareOfficeHosts() override;

    // Starts a spare unless one is ready or on its way. Returns at once.
    void prepare();
    // The spare (waiting while it starts), checked to be alive and to answer;
    // otherwise a fresh start. Then the next spare starts: now, or when the
    // host has ended if expectMore(0) came before.
    std::unique_ptr<SpreadsheetHost> create() override;
    void expectMore(int count) override;
    // Kills the spare at once; for a program that is about to end. Safe from
    // any thread; nothing starts after it.
    void end() noexcept;

    // Waits up to limit for the spare to be ready; its process, or 0.
    pid_t waitForSpare(milliseconds limit);

private:
    struct Shared;
    std::shared_ptr<OfficeInstance> startNow();

    LibreOfficeHostFactory m_fresh;
    std::shared_ptr<Shared> m_shared;
};

} // namespace quillmer::office
