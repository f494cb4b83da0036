#include "office/spareoffice.h"

#include "office/officeinstance.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <utility>

namespace quillmer::office {

namespace {

// How long a spare may take to show it still answers before it is replaced.
constexpr std::chrono::milliseconds AnswerLimit{5000};

enum class SpareState
{
    None,
    Starting,
    Ready,
    Failed
};

} // namespace

struct SpareOfficeHosts::Shared
{
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void()>> tasks;
    bool stopping = false;
    SpareState state = SpareState::None;
    int ahead = -1; // hosts expected after the next create(); -1: not known
    std::shared_ptr<OfficeInstance> spare;
    std::thread thread;

    void run()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return stopping || !tasks.empty(); });
            if (tasks.empty())
                return;
            auto task = std::move(tasks.front());
            tasks.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
    }

    void post(std::function<void()> task)
    {
        {
            std::lock_guard lock(mutex);
            tasks.push_back(std::move(task));
        }
        changed.notify_all();
    }
};

SpareOfficeHosts::SpareOfficeHosts(QString registryPath, milliseconds timeLimit)
    : m_fresh(std::move(registryPath), timeLimit), m_shared(std::make_shared<Shared>())
{
    m_shared->thread = std::thread([shared = m_shared.get()] { shared->run(); });
}

SpareOfficeHosts::~SpareOfficeHosts()
{
    std::shared_ptr<OfficeInstance> spare;
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->stopping = true;
        m_shared->tasks.clear();
        spare = std::move(m_shared->spare);
    }
    m_shared->changed.notify_all();
    // A start under way finishes first; its office is ended below or by
    // the task itself.
    m_shared->thread.join();
    spare.reset();
}

void SpareOfficeHosts::prepare()
{
    std::lock_guard lock(m_shared->mutex);
    if (m_shared->stopping || m_shared->state == SpareState::Starting ||
        m_shared->state == SpareState::Ready)
        return;
    m_shared->state = SpareState::Starting;
    m_shared->tasks.push_back([this, shared = m_shared.get()] {
        std::shared_ptr<OfficeInstance> instance;
        try {
            instance = m_fresh.startInstance();
            instance->warmUp();
        } catch (const AppError&) {
            // No spare: the next create() starts one itself, and says why
            // when that fails too.
        }
        std::unique_lock lock(shared->mutex);
        if (shared->stopping) {
            lock.unlock();
            return; // the office ends with instance
        }
        shared->state = instance ? SpareState::Ready : SpareState::Failed;
        shared->spare = std::move(instance);
        lock.unlock();
        shared->changed.notify_all();
    });
    m_shared->changed.notify_all();
}

std::shared_ptr<OfficeInstance> SpareOfficeHosts::startNow()
{
    // On the factory's thread too, so that the office lives as long as the
    // factory and not as long as the caller's thread.
    auto started = std::make_shared<std::promise<std::shared_ptr<OfficeInstance>>>();
    auto result = started->get_future();
    m_shared->post([this, started] {
        try {
            started->set_value(m_fresh.startInstance());
        } catch (...) {
            started->set_exception(std::current_exception());
        }
    });
    return result.get();
}

void SpareOfficeHosts::expectMore(int count)
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->ahead = count;
}

std::unique_ptr<SpreadsheetHost> SpareOfficeHosts::create()
{
    std::shared_ptr<OfficeInstance> instance;
    int ahead = -1;
    {
        std::unique_lock lock(m_shared->mutex);
        if (m_shared->stopping)
            throw uno::cannotCreate(QStringLiteral("the program is ending"));
        m_shared->changed.wait(lock, [&] { return m_shared->state != SpareState::Starting; });
        instance = std::move(m_shared->spare);
        m_shared->state = SpareState::None;
        ahead = std::exchange(m_shared->ahead, -1);
    }
    // A spare that died or froze while it waited is replaced quietly.
    if (instance && !instance->answers(AnswerLimit))
        instance.reset();
    if (!instance)
        instance = startNow();
    if (ahead != 0) {
        prepare();
        return std::make_unique<LibreOfficeHost>(std::move(instance));
    }
    // The factory outlives its hosts on its owner's thread; the weak link
    // only keeps a stray host from starting an office for a factory gone.
    return std::make_unique<LibreOfficeHost>(std::move(instance), nullptr,
                                             [this, alive = std::weak_ptr<Shared>(m_shared)] {
                                                 if (alive.lock())
                                                     prepare();
                                             });
}

void SpareOfficeHosts::end() noexcept
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->stopping = true;
    m_shared->tasks.clear();
    m_shared->state = SpareState::None;
    if (m_shared->spare)
        m_shared->spare->killNow(); // reaped when the factory goes
}

pid_t SpareOfficeHosts::waitForSpare(milliseconds limit)
{
    std::unique_lock lock(m_shared->mutex);
    m_shared->changed.wait_for(lock, limit,
                               [&] { return m_shared->state != SpareState::Starting; });
    return m_shared->state == SpareState::Ready && m_shared->spare ? m_shared->spare->pid() : 0;
}

} // namespace quillmer::office
