#include "ui/monte_carlo_job.h"

#include <utility>

namespace velmora {

MonteCarloJob::MonteCarloJob(const TDesign& design, MonteCarloOptions options)
    : shared_(std::make_shared<Shared>()) {
    Shared& s = *shared_;
    s.design = design;
    s.options = std::move(options);
    // A mask given by pointer is copied too: the caller's may change while the worker runs.
    if (s.options.Mask) s.mask = *s.options.Mask;
    s.options.Mask = s.mask ? &*s.mask : nullptr;
    s.runs = s.options.Runs;
    Shared* raw = shared_.get();
    s.options.Continue = [raw](int done, int) {
        raw->done.store(done, std::memory_order_relaxed);
        return !raw->cancel.load(std::memory_order_relaxed);
    };
    worker_ = std::jthread([keep = shared_] {
        std::optional<MonteCarloResult> r = RunMonteCarlo(keep->design, keep->options);
        if (r) keep->done.store(keep->runs, std::memory_order_relaxed);
        keep->result = std::move(r);
        keep->finished.store(true, std::memory_order_release);
    });
}

MonteCarloJob::~MonteCarloJob() {
    Cancel();
}

void MonteCarloJob::Cancel() {
    shared_->cancel.store(true, std::memory_order_relaxed);
    if (worker_.joinable()) worker_.join();
    shared_->result.reset();
}

std::optional<MonteCarloResult> MonteCarloJob::Take() {
    if (worker_.joinable()) worker_.join();
    if (shared_->cancel.load(std::memory_order_relaxed)) return std::nullopt;
    return std::exchange(shared_->result, std::nullopt);
}

} // namespace velmora
