// Reply rewrites for InProcessController::filter: each changes only the
// reply to one command and passes every other reply through untouched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "base/bytes.h"
#include "support/inprocess_fixture.h"
#include "support/request_log.h"

namespace tvx::testing {

// Cuts the reply to `command` to `bytes` (header and status counted);
// bytes added by a longer length are zero.
inline InProcessController::PacketFilter cutReply(uint16_t command, size_t bytes) {
    return [command, bytes](const Bytes& request, Bytes& reply) {
        if (commandOf(request) == command) {
            reply.resize(bytes, 0);
            fixLength(reply);
        }
        return true;
    };
}

// Answers `command` with `status` and `data` in place of the controller's
// status and data; the header (and so the sequence) stays.
inline InProcessController::PacketFilter replyWith(uint16_t command, int32_t status, Bytes data = {}) {
    return [command, status, data = std::move(data)](const Bytes& request, Bytes& reply) {
        if (commandOf(request) == command) {
            reply.resize(10);
            putI32(reply.data() + 6, status);
            reply.insert(reply.end(), data.begin(), data.end());
            fixLength(reply);
        }
        return true;
    };
}

// Sets the status of the reply to `command`, keeping its data.
inline InProcessController::PacketFilter setStatus(uint16_t command, int32_t status) {
    return [command, status](const Bytes& request, Bytes& reply) {
        if (commandOf(request) == command) putI32(reply.data() + 6, status);
        return true;
    };
}

}  // namespace tvx::testing
