#pragma once

// The engine's proxy processes, each started on its first need and kept for
// the rest of the run. Going away ends them in a fixed order: the elevated
// 64-bit proxy before the elevated 32-bit one that started it.

#include <memory>

#include "parcels/ProxyHandler.h"

struct CProxySlots {
    CProxySlots() = default;
    ~CProxySlots();
    CProxySlots(const CProxySlots&) = delete;
    CProxySlots& operator=(const CProxySlots&) = delete;

    std::unique_ptr<CProxyHandler> elevated;
    std::unique_ptr<CProxyHandler> nonElevated;
    std::unique_ptr<CProxyHandler> x64;
    std::unique_ptr<CProxyHandler> elevatedX64;
    std::unique_ptr<CProxyHandler> appxHelper;
};
