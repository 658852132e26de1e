#include "comm/bus_worker.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QThread>
#include <array>
#include <cstring>
#include <thread>
#include <type_traits>

// No Qt event loop runs on the worker: jobs and results pass through the worker's own
// queues, and a queued call by name only wakes the window thread.
class BusWorker::Thread : public QThread {
  public:
    explicit Thread(BusWorker& owner) : owner_(owner) { setObjectName(QStringLiteral("bus")); }
    void run() override { owner_.worker_loop(); }

  private:
    BusWorker& owner_;
};

// The request layer's only prompts are the two table-number messages, whose guards the
// window side checks before it asks for a job; should a job still reach one, its box
// appears on the window thread and the worker does not wait for it.
class BusWorker::WindowPrompts : public Prompts {
  public:
    WindowPrompts(BusWorker& owner, Prompts& target) : owner_(owner), target_(target) {}
    PromptAnswer message(const QString& text, const QString& caption, PromptIcon icon,
                         PromptButtons buttons, PromptOwner owner) override {
        QMetaObject::invokeMethod(
            &owner_,
            [&target = target_, text, caption, icon, buttons, owner] {
                target.message(text, caption, icon, buttons, owner);
            },
            Qt::QueuedConnection);
        return PromptAnswer::Ok;
    }
    std::optional<QString> save_file(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<QString> open_file(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<std::uint32_t> choose_color(std::uint32_t) override { return std::nullopt; }

  private:
    BusWorker& owner_;
    Prompts& target_;
};

namespace {

// The bytes of a group's fields, without padding.
struct FieldBytes {
    std::array<std::uint8_t, 4 * 43> bytes{};
    std::size_t n = 0;
    template <class T>
    void operator()(const char*, T& v) {
        std::memcpy(bytes.data() + n, &v, sizeof v);
        n += sizeof v;
    }
};

FieldBytes group_bytes(DeviceData d, int t) {
    FieldBytes f;
    with_group(d, t, [&](auto& g) { for_each_field(g, f); });
    return f;
}

void copy_group(DeviceData& to, DeviceData from, int t) {
    with_group(to, t, [&](auto& target) {
        with_group(from, t, [&](auto& source) {
            if constexpr (std::is_same_v<decltype(target), decltype(source)>) target = source;
        });
    });
}

}  // namespace

BusWorker::BusWorker(RequestLayer& window_side, Prompts& prompts, QObject* parent)
    : QObject(parent),
      window_(window_side),
      worker_prompts_(std::make_unique<WindowPrompts>(*this, prompts)),
      worker_(std::make_unique<RequestLayer>(window_side.line(), *worker_prompts_, worker_data_,
                                             worker_buffer_)),
      session_(std::make_unique<BusSession>(window_side.line())),
      thread_(std::make_unique<Thread>(*this)) {
    thread_->start();
}

BusWorker::~BusWorker() {
    wait_idle();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_->wait();
    // The worker's last step was under the lock: taking it once more orders its end
    // before what follows, also for checkers that cannot see into the thread's join.
    std::lock_guard<std::mutex> lock(mutex_);
}

QThread* BusWorker::worker_thread() const { return thread_.get(); }

void BusWorker::set_wait_indicator(std::function<void()> begin, std::function<void()> end) {
    wait_begin_ = std::move(begin);
    wait_end_ = std::move(end);
}

void BusWorker::enqueue(Task task, Completion completion) {
    task.id = next_id_++;
    task.line = &window_.line();
    task.computer_address = window_.computer_address();
    if (task.job) {
        task.data = window_.data();
        task.buffer = window_.buffer();
    }
    done_.emplace_back(task.id, std::move(completion));
    ++pending_;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tasks_.push_back(std::move(task));
        ++tasks_waiting_;
    }
    wake_.notify_all();
}

BusWorker::Completion BusWorker::done_then_rethrow(Done done) {
    return [done = std::move(done)](bool ok, std::exception_ptr error) {
        if (done) done(ok);
        if (error) std::rethrow_exception(error);
    };
}

void BusWorker::post(Job job, Done done) {
    Task task;
    task.job = std::move(job);
    enqueue(std::move(task), done_then_rethrow(std::move(done)));
}

void BusWorker::post_session(SessionJob job, Done done) {
    Task task;
    task.session_job = std::move(job);
    enqueue(std::move(task), done_then_rethrow(std::move(done)));
}

bool BusWorker::run(Job job) {
    Task task;
    task.job = std::move(job);
    return wait_for(std::move(task));
}

bool BusWorker::run_session(SessionJob job) {
    Task task;
    task.session_job = std::move(job);
    return wait_for(std::move(task));
}

// What a waited-for job's completion fills in. Shared with the completion, which may
// run after a wait that ended some other way.
struct BusWorker::Wait {
    bool finished = false;
    bool ok = false;
    std::exception_ptr error;
    QEventLoop* loop = nullptr;
};

bool BusWorker::wait_for(Task task) {
    auto wait = std::make_shared<Wait>();
    QEventLoop loop;
    wait->loop = &loop;
    // The loop goes with this frame however it is left.
    struct Detach {
        Wait& w;
        ~Detach() { w.loop = nullptr; }
    } detach{*wait};
    enqueue(std::move(task), [wait](bool r, std::exception_ptr e) {
        wait->finished = true;
        wait->ok = r;
        wait->error = e;
        if (wait->loop) wait->loop->quit();
    });
    // A short exchange is over within a couple of milliseconds: waiting that long here,
    // and taking the result straight from the queue, spares it two thread wake-ups and
    // the trip through the event loop.
    const auto until = std::chrono::steady_clock::now() + kShortWait;
    while (results_waiting_.load() == 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::yield();
    while (!wait->finished && has_result()) {
        try {
            deliver();
        } catch (...) {
            // Another job's error: reported at the event boundary, as it would have been
            // without this wait.
            QMetaObject::invokeMethod(
                this, [e = std::current_exception()] { std::rethrow_exception(e); },
                Qt::QueuedConnection);
        }
    }
    if (!wait->finished) {
        if (wait_begin_) wait_begin_();
        while (!wait->finished) loop.exec(QEventLoop::ExcludeUserInputEvents);
        if (wait_end_) wait_end_();
    }
    if (wait->error) std::rethrow_exception(wait->error);
    return wait->ok;
}

bool BusWorker::has_result() {
    std::lock_guard<std::mutex> lock(mutex_);
    return !results_.empty();
}

void BusWorker::wait_idle() {
    while (pending_ > 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void BusWorker::worker_loop() {
    for (;;) {
        Task task;
        // A window that waits on its exchanges asks for the next one at once.
        const auto until = std::chrono::steady_clock::now() + kWorkerSpin;
        while (tasks_waiting_.load() == 0 && std::chrono::steady_clock::now() < until)
            std::this_thread::yield();
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
            if (tasks_.empty()) return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
            --tasks_waiting_;
        }
        execute(task);
    }
}

void BusWorker::execute(Task& task) {
    Result r;
    r.id = task.id;
    r.session = !task.job;
    if (r.session) {
        session_->set_line(*task.line);
        session_->set_computer_address(task.computer_address);
        try {
            r.ok = task.session_job(*session_);
        } catch (...) {
            r.error = std::current_exception();
        }
    } else {
        r.before = task.data;
        worker_->set_line(*task.line);
        worker_data_ = task.data;
        worker_buffer_ = task.buffer;
        try {
            r.ok = task.job(*worker_);
        } catch (...) {
            r.error = std::current_exception();
        }
        r.data = worker_data_;
        r.buffer = worker_buffer_;
        r.type_read = worker_buffer_.type_text != task.buffer.type_text;
        r.version_read = worker_buffer_.version_text != task.buffer.version_text;
        r.foreign_read = worker_buffer_.foreign_ident != task.buffer.foreign_ident;
    }
    // What the job holds goes on this thread.
    task.job = nullptr;
    task.session_job = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        results_.push_back(std::move(r));
        ++results_waiting_;
    }
    QMetaObject::invokeMethod(this, "deliver", Qt::QueuedConnection);
}

// Only what the job changed: a window may have filled other groups meanwhile.
void BusWorker::apply(const Result& r) {
    DeviceData& d = window_.data();
    for (int t = 0; t < kTableCount; ++t) {
        const FieldBytes before = group_bytes(r.before, t);
        const FieldBytes after = group_bytes(r.data, t);
        if (before.bytes != after.bytes) copy_group(d, r.data, t);
    }
    CommBuffer& b = window_.buffer();
    b.rx = r.buffer.rx;
    b.tx = r.buffer.tx;
    if (r.type_read) b.type_text = r.buffer.type_text;
    if (r.version_read) b.version_text = r.buffer.version_text;
    if (r.foreign_read) b.foreign_ident = r.buffer.foreign_ident;
}

void BusWorker::deliver() {
    Result r;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (results_.empty()) return;
        r = std::move(results_.front());
        results_.pop_front();
        --results_waiting_;
    }
    if (!r.session) apply(r);
    Completion completion;
    if (!done_.empty() && done_.front().first == r.id) {
        completion = std::move(done_.front().second);
        done_.pop_front();
    }
    --pending_;
    const bool ok = r.ok;
    const std::exception_ptr error = r.error;
    if (completion) completion(ok, error);
    emit job_finished(ok);
}

// The table-number guards answer on the window thread, before any job: a worker never
// waits on a message box.
bool BusWorker::read_table(int t) {
    if (t < 0 || t >= kTableCount) return window_.read_table(t);
    return run([t](RequestLayer& r) { return r.read_table(t); });
}

bool BusWorker::write_table(int t) {
    if (t < 0 || t >= kParameterTableCount) return window_.write_table(t);
    return run([t](RequestLayer& r) { return r.write_table(t); });
}

bool BusWorker::store_eeprom() {
    return run([](RequestLayer& r) { return r.store_eeprom(); });
}

bool BusWorker::probe_station() {
    return run([](RequestLayer& r) { return r.probe_station(); });
}

bool BusWorker::read_type_text() {
    return run([](RequestLayer& r) { return r.read_type_text(); });
}

bool BusWorker::read_version_text() {
    return run([](RequestLayer& r) { return r.read_version_text(); });
}

bool BusWorker::read_foreign_ident() {
    return run([](RequestLayer& r) { return r.read_foreign_ident(); });
}

void BusWorker::pause_ms(int ms) {
    run([ms](RequestLayer& r) {
        r.line().pause_ms(ms);
        return true;
    });
}
