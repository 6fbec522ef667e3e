// Real-time safety: processing allocates nothing, whatever happens between
// blocks on the other thread's side (parameter, program and chunk changes).
// The global allocation functions of this test binary are replaced by
// counting ones; malloc itself is interposed too.

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "support/fake_host.h"

extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);

namespace {
std::atomic<long> allocations{0};
std::atomic<bool> counting{false};

void note() {
    if (counting.load(std::memory_order_relaxed)) {
        allocations.fetch_add(1, std::memory_order_relaxed);
    }
}
} // namespace

extern "C" void* malloc(std::size_t size) {
    note();
    return __libc_malloc(size);
}
extern "C" void* calloc(std::size_t n, std::size_t size) {
    note();
    return __libc_calloc(n, size);
}
extern "C" void* realloc(void* p, std::size_t size) {
    note();
    return __libc_realloc(p, size);
}

void* operator new(std::size_t size) {
    note();
    if (void* p = __libc_malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

struct Counting {
    Counting() {
        allocations = 0;
        counting = true;
    }
    ~Counting() { counting = false; }
};

} // namespace

TEST(RealTime, TheCounterSeesAllocations) {
    // Guards the test below against a counter that counts nothing.
    Counting scope;
    auto* v = new std::vector<int>(100);
    void* raw = std::malloc(64);
    counting = false;
    delete v;
    std::free(raw);
    EXPECT_GE(allocations.load(), 3);
}

TEST(RealTime, ProcessingAllocatesNothing) {
    auto effect = makeEffect();
    StereoBlock block(1024);
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (int i = 0; i < block.frames(); ++i) {
        block.inL[i] = u(rng);
        block.inR[i] = u(rng);
    }
    void* chunk = nullptr;
    const int bankSize = effect->getChunk(&chunk, false);
    std::vector<unsigned char> bank(static_cast<unsigned char*>(chunk),
                                    static_cast<unsigned char*>(chunk) + bankSize);
    const int sizes[] = {1, 7, 32, 256, 1024};

    Counting scope;
    for (int round = 0; round < 400; ++round) {
        // Between blocks: what a host or editor does on its own thread.
        effect->setParameter(static_cast<int>(rng() % 56), u(rng) * 0.5f + 0.5f);
        effect->setParameter(param::kLfo1Shape, static_cast<float>(rng() % 8));
        effect->setParameter(param::kFeedback, 0.9f);
        effect->setParameter(param::kStages, 1.0f);
        if (round % 50 == 0) {
            effect->setProgram(static_cast<int>(rng() % 32));
        }
        if (round % 97 == 0) {
            effect->setChunk(bank.data(), bankSize, false);
        }
        if (round % 120 == 0) {
            effect->resume();
        }
        effect->processReplacing(block.inputs(), block.outputs(), sizes[round % 5]);
        effect->process(block.inputs(), block.outputs(), sizes[(round + 2) % 5]);
    }
    counting = false;
    EXPECT_EQ(allocations.load(), 0);
    for (int i = 0; i < block.frames(); ++i) {
        ASSERT_TRUE(std::isfinite(block.outL[i]) && std::isfinite(block.outR[i]));
    }
}
