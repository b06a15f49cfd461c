#include "trace_print.h"

#include <atomic>
#include <cstdio>

#include "tools/tool_interface.h"

namespace tvx::tool {
namespace {

// Frame layout around the packet.
inline constexpr uint32_t kMbapBytes = 6;
inline constexpr uint8_t kRequestFunction = 72;
inline constexpr uint8_t kPushedFunction = 73;
// Packet fields.
inline constexpr uint32_t kCommand = 2;
inline constexpr uint32_t kSequence = 4;
inline constexpr uint32_t kStatus = 6;
inline constexpr uint32_t kReplyHeader = 10;

const char* standardFunctionName(uint8_t function) {
    switch (function & 0x7F) {
        case 1: return "read coils";
        case 2: return "read inputs";
        case 3: return "read holding registers";
        case 4: return "read input registers";
        case 5: return "write coil";
        case 6: return "write register";
        case 15: return "write coils";
        case 16: return "write registers";
        default: return "function";
    }
}

std::string commandText(uint16_t command) {
    const char* name = requestName(command);
    char text[48];
    if (name)
        std::snprintf(text, sizeof text, "%s (%u)", name, command);
    else
        std::snprintf(text, sizeof text, "request %u", command);
    return text;
}

std::atomic<uint64_t> g_startNs{0};

void printEvent(const TVX_TraceEvent* event, void*) {
    uint64_t start = g_startNs.load(std::memory_order_relaxed);
    if (start == 0) {
        g_startNs.compare_exchange_strong(start, event->timestampNs);
        start = g_startNs.load(std::memory_order_relaxed);
    }
    const std::string line = describeTraceEvent(*event, start) + "\n";
    std::fputs(line.c_str(), stderr);
}

}  // namespace

std::string describeTraceEvent(const TVX_TraceEvent& e, uint64_t startNs) {
    char head[48];
    const double seconds = static_cast<double>(e.timestampNs - startNs) / 1e9;
    if (e.kind == TVX_TRACE_DEBUG) {
        std::snprintf(head, sizeof head, "%10.6f  debug  ", seconds);
        std::string line = head;
        line.append(reinterpret_cast<const char*>(e.bytes), e.length);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        return line;
    }
    const bool sent = e.kind == TVX_TRACE_SENT;
    std::snprintf(head, sizeof head, "%10.6f  %s  ", seconds, sent ? "->" : "<-");
    std::string line = head;
    const bool ethernet = e.linkKind == TVX_LINK_ETHERNET;
    const uint32_t at = ethernet ? kMbapBytes : 0;
    const uint32_t trailer = ethernet ? 0 : 2;
    char text[128];
    if (e.length < at + 2 + trailer) {
        std::snprintf(text, sizeof text, "short frame, %u bytes", e.length);
        return line + text;
    }
    const uint8_t* pdu = e.bytes + at;
    const uint8_t function = pdu[1];
    const uint32_t packetBytes = e.length - at - 2 - trailer;
    const uint8_t* packet = pdu + 2;
    if (function == kRequestFunction || function == kPushedFunction) {
        if (packetBytes < kCommand + 4) {
            std::snprintf(text, sizeof text, "function %u, %u packet bytes", function, packetBytes);
            return line + text;
        }
        const uint16_t length = getU16(packet);
        const uint16_t sequence = getU16(packet + kSequence);
        line += function == kPushedFunction ? "pushed " : (sent ? "request " : "reply ");
        line += commandText(getU16(packet + kCommand));
        if (!sent && packetBytes >= kReplyHeader) {
            std::snprintf(text, sizeof text, "  seq %u  status %d  length %u", sequence,
                          getI32(packet + kStatus), length);
        } else {
            std::snprintf(text, sizeof text, "  seq %u  length %u", sequence, length);
        }
        return line + text;
    }
    if (function & 0x80) {
        std::snprintf(text, sizeof text, "modbus %s exception %u", standardFunctionName(function),
                      packetBytes > 0 ? packet[0] : 0);
        return line + text;
    }
    std::snprintf(text, sizeof text, "modbus %s (%u)  %u bytes", standardFunctionName(function), function,
                  packetBytes);
    return line + text;
}

void startTracePrinting() { TVX_SetTraceCallback(printEvent, nullptr, 1); }

}  // namespace tvx::tool
