#pragma once

#include <QObject>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

#include "bus/bus_session.h"
#include "comm/Unit_hl.h"
#include "platform/prompts.h"

class QThread;

// Runs every exchange of the program on a thread of its own, one at a time and in the
// order asked, so that a silent or late controller never stops the windows.
//
// The windows keep their records: the request layer handed in (its DeviceData and
// CommBuffer, its line). A job runs on the worker's own copies, taken when the job was
// asked for; when it ends, the groups it changed and the texts it read are copied back
// on the window thread, before the job's completion is called there. Session jobs (the
// work beyond the specified windows) never see those records and bring back nothing
// but what they capture. Only the worker touches the line while it runs, and the request
// layer it drives knows nothing of threads.
class BusWorker : public QObject {
    Q_OBJECT
  public:
    // Runs on the worker thread with the worker's request layer.
    using Job = std::function<bool(RequestLayer&)>;
    // Runs on the worker thread with the worker's addressed session; it never sees the
    // windows' records, and nothing is copied back from it.
    using SessionJob = std::function<bool(BusSession&)>;
    // Runs on the window thread once the records hold the job's result.
    using Done = std::function<void(bool ok)>;

    BusWorker(RequestLayer& window_side, Prompts& prompts, QObject* parent = nullptr);
    // Lets the jobs asked for end, then ends the thread.
    ~BusWorker() override;
    BusWorker(const BusWorker&) = delete;
    BusWorker& operator=(const BusWorker&) = delete;

    // The records the windows read and fill (window thread only).
    DeviceData& data() const { return window_.data(); }
    CommBuffer& buffer() const { return window_.buffer(); }
    void set_device_address(std::uint8_t a) { window_.set_device_address(a); }
    void set_computer_address(std::uint8_t a) { window_.set_computer_address(a); }
    std::uint8_t device_address() const { return window_.device_address(); }
    std::uint8_t computer_address() const { return window_.computer_address(); }

    // Asks for a job and returns at once; done follows on the window thread.
    void post(Job job, Done done = {});
    void post_session(SessionJob job, Done done = {});
    // Asks for a job and waits for it: windows keep painting and timers keep running,
    // user input waits until the job has ended. A job's exception is thrown here.
    bool run(Job job);
    bool run_session(SessionJob job);
    // Jobs asked for that have not yet been delivered.
    bool busy() const { return pending_ > 0; }
    int pending() const { return pending_; }
    // Delivers every job asked for so far (for shutdown and tests).
    void wait_idle();

    // The request layer's operations, waiting as run() does: the modal flows use these.
    bool read_table(int t);
    bool read_table(TableId t) { return read_table(static_cast<int>(t)); }
    bool write_table(int t);
    bool write_table(TableId t) { return write_table(static_cast<int>(t)); }
    bool store_eeprom();
    bool probe_station();
    bool read_type_text();
    bool read_version_text();
    bool read_foreign_ident();
    void pause_ms(int ms);

    // The thread the jobs run on, for objects of the line that must live there.
    QThread* worker_thread() const;
    // Called around every wait of run(), e.g. to show a wait cursor.
    void set_wait_indicator(std::function<void()> begin, std::function<void()> end);

  signals:
    // After each job's completion has run.
    void job_finished(bool ok);

  private:
    class Thread;
    class WindowPrompts;
    using Completion = std::function<void(bool ok, std::exception_ptr error)>;
    struct Task {
        std::uint64_t id = 0;
        Job job;
        SessionJob session_job;
        Line* line = nullptr;
        std::uint8_t computer_address = 0;
        DeviceData data;
        CommBuffer buffer;
    };
    struct Result {
        std::uint64_t id = 0;
        bool session = false;
        bool ok = false;
        std::exception_ptr error;
        DeviceData before;
        DeviceData data;
        CommBuffer buffer;
        // The texts the job changed; only these go back.
        bool type_read = false;
        bool version_read = false;
        bool foreign_read = false;
    };
    struct Wait;

    void enqueue(Task task, Completion completion);
    bool wait_for(Task task);
    static Completion done_then_rethrow(Done done);
    void execute(Task& task);
    void worker_loop();
    void apply(const Result& r);
    bool has_result();
    Q_INVOKABLE void deliver();

    RequestLayer& window_;
    DeviceData worker_data_;
    CommBuffer worker_buffer_;
    std::unique_ptr<WindowPrompts> worker_prompts_;
    std::unique_ptr<RequestLayer> worker_;
    std::unique_ptr<BusSession> session_;
    std::unique_ptr<Thread> thread_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Task> tasks_;
    std::deque<Result> results_;
    std::atomic<int> tasks_waiting_{0};
    std::atomic<int> results_waiting_{0};
    static constexpr std::chrono::milliseconds kShortWait{2};
    static constexpr std::chrono::microseconds kWorkerSpin{200};
    bool stopping_ = false;

    // Window thread only.
    std::uint64_t next_id_ = 1;
    int pending_ = 0;
    std::deque<std::pair<std::uint64_t, Completion>> done_;
    std::function<void()> wait_begin_;
    std::function<void()> wait_end_;
};
