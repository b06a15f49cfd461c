#include "link/link_defaults.h"

#include <atomic>

namespace tvx {
namespace {
std::atomic<uint32_t> connectionId{0};
}  // namespace

uint32_t connectionIdentifier() { return connectionId.load(std::memory_order_relaxed); }
void setConnectionIdentifier(uint32_t id) { connectionId.store(id, std::memory_order_relaxed); }

}  // namespace tvx
