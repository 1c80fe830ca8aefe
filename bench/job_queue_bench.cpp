// Frames per second through the job queue, from a producer thread to the
// worker, against copying the same frames into a vector on one thread.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "BenchUtil.h"
#include "JobQueueEx.h"

namespace {

using namespace ZtEventLoggerCommon;
using Frame = const ZtEventStreamHeader;

constexpr size_t kFrameSize = 240;  // a notification frame with a small record
constexpr int kFrames = 5000;

class CountingReceiver : public IJobQueueExCallbackReceiver<Frame> {
public:
    void OnNotification(const std::list<Frame*>& frames) override { count.fetch_add(frames.size()); }
    std::atomic<size_t> count{0};
};

}  // namespace

int main() {
    std::vector<uint8_t> sample(kFrameSize, 0x5A);
    auto* queue = new JobQueueEx<Frame>(1u << 30);
    queue->ZtAddRef();
    CountingReceiver receiver;
    queue->Init(&receiver);

    auto ours = [&] {
        size_t target = receiver.count.load() + kFrames;
        for (int i = 0; i < kFrames; ++i) {
            void* copy = queue->AllocateFrame(kFrameSize);
            std::memcpy(copy, sample.data(), kFrameSize);
            queue->Enqueue(static_cast<Frame*>(copy));
        }
        while (receiver.count.load() < target) queue->WaitFinished(1000);
    };
    std::vector<void*> vec;
    vec.reserve(kFrames);
    auto baseline = [&] {
        for (int i = 0; i < kFrames; ++i) {
            void* copy = std::malloc(kFrameSize);
            std::memcpy(copy, sample.data(), kFrameSize);
            vec.push_back(copy);
        }
        for (void* p : vec) std::free(p);
        vec.clear();
    };
    auto r = ZtBench::Compare(ours, baseline, 20, 15);
    ZtBench::PrintThroughput("job queue frames, producer to worker", r, kFrames, 0.5);
    queue->ZtRelease();
    return 0;
}
