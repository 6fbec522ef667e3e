#include "gui/gui_types.h"

#include <atomic>

namespace {
// Editors of several plug-in instances may live on different host threads.
std::atomic<std::int64_t> liveCount{0};
} // namespace

CBaseObject::CBaseObject() {
    liveCount.fetch_add(1, std::memory_order_relaxed);
}

CBaseObject::~CBaseObject() {
    liveCount.fetch_sub(1, std::memory_order_relaxed);
}

void CBaseObject::release() {
    if (--referenceCount == 0) {
        delete this;
    }
}

std::int64_t CBaseObject::liveObjects() {
    return liveCount.load(std::memory_order_relaxed);
}
