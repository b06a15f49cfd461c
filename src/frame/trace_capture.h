// The capture file behind TAVRIX_TRACE: every traced frame written as a
// pcapng record that Wireshark and tshark open directly.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tavrix.h"

namespace tvx {

// Opens the file `pattern` names and starts writing; false when it cannot
// be created. "%p" in the pattern stands for the process identifier ("%%"
// for a percent sign). A capture file already there is appended to, as a
// section of its own; any other file is replaced.
bool startTraceCapture(const char* pattern);
// The name `pattern` gives for process `pid`; false when longer than
// `capacity` allows.
bool expandCapturePath(const char* pattern, uint32_t pid, char* out, size_t capacity);
// Writes what is buffered and closes the file.
void stopTraceCapture();
bool traceCaptureActive();
// Writes one traced frame (debug lines are left out).
void writeTraceCapture(const TVX_TraceEvent& event);

// The pcapng layout, by name.
namespace pcapng {
inline constexpr uint32_t sectionHeader = 0x0A0D0D0A;
inline constexpr uint32_t interfaceDescription = 1;
inline constexpr uint32_t enhancedPacket = 6;
inline constexpr uint32_t byteOrderMagic = 0x1A2B3C4D;
inline constexpr uint16_t linkTypeIpv4 = 228;  // raw IPv4 datagrams
inline constexpr uint16_t linkTypeUser0 = 147;  // the serial and PCI links' frames
inline constexpr uint16_t optionEnd = 0;
inline constexpr uint16_t optionComment = 1;
inline constexpr uint16_t optionInterfaceName = 2;
inline constexpr uint16_t optionTimestampResolution = 9;
inline constexpr uint16_t optionPacketFlags = 2;
inline constexpr uint32_t flagInbound = 1;
inline constexpr uint32_t flagOutbound = 2;
}  // namespace pcapng

}  // namespace tvx
