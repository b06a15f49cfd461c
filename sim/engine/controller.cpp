#include "engine/controller.h"

#include <algorithm>
#include <cstring>

#include "base/bytes.h"
#include "channel/request_codes.h"
#include "engine/framing.h"
#include "engine/reply.h"
#include "platform/clock.h"

namespace tvx::sim {
namespace {

// Controller status codes the simulator answers with.
inline constexpr int32_t kStatusNotSupported = 3205;
inline constexpr int32_t kStatusBadArgument = 3204;
// Command text that does not fit the command buffer's free space.
inline constexpr int32_t kStatusBufferFull = 3204;
inline constexpr uint8_t kIllegalFunction = 1;
inline constexpr uint8_t kIllegalAddress = 2;
inline constexpr uint8_t kIllegalValue = 3;


bool getBit(const uint8_t* bits, size_t n) { return (bits[n / 8] >> (n % 8)) & 1; }

// A range of I/O points folded into a 32-bit word, first point in bit 0.
int32_t foldBits(const uint8_t* bits, uint16_t first, uint16_t last) {
    uint32_t v = 0;
    for (uint32_t n = first, b = 0; n <= last && b < 32 && n < static_cast<uint32_t>(kIoPoints); ++n, ++b)
        if (getBit(bits, n)) v |= 1u << b;
    return static_cast<int32_t>(v);
}

// True for requests that are sent without waiting for a reply.
bool unacknowledged(uint16_t command) { return command == req::keepAlive; }

// A hash of the sender and the request packet, eight bytes a step: every
// download block passes through it.
uint64_t requestHashOf(uint64_t origin, const uint8_t* p, size_t n) {
    constexpr uint64_t kOdd = 0x9E3779B97F4A7C15ull;
    auto mix = [](uint64_t h, uint64_t w) {
        h = (h ^ w) * kOdd;
        return h ^ (h >> 29);
    };
    auto word = [&](size_t at) {
        uint64_t w;
        std::memcpy(&w, p + at, sizeof w);
        return w;
    };
    // Four independent lanes over 32-byte strides: one chain of dependent
    // multiplies over a kilobyte block costs as much as the rest of its
    // handling; four chains run side by side.
    uint64_t lane[4] = {mix(0xCBF29CE484222325ull ^ n, origin), kOdd, kOdd * 3, kOdd * 5};
    size_t i = 0;
    for (; i + 32 <= n; i += 32)
        for (size_t l = 0; l < 4; ++l) lane[l] = mix(lane[l], word(i + 8 * l));
    uint64_t h = lane[0];
    for (size_t l = 1; l < 4; ++l) h = mix(h, lane[l]);
    for (; i + 8 <= n; i += 8) h = mix(h, word(i));
    uint64_t tail = 0;
    for (size_t k = 0; i + k < n; ++k) tail |= uint64_t{p[i + k]} << (8 * k);
    return mix(h, tail);
}

}  // namespace

void Controller::reset() {
    model_ = ControllerModel{};
    transfers_ = TransferService{};
    // Copied from a first state kept aside: the variable arrays keep their
    // memory, where a new console would allocate and clear them again.
    static const interp::Console firstConsole;
    console_ = firstConsole;
    for (auto& s : services_) s->reset();
    transferData_.clear();
    for (Remembered& r : recent_) r.used = false;
    nextSlot_ = 0;
    consoleOrigin_ = 0;
    pushSequence_ = 0;
}

const Controller::Remembered* Controller::recall(uint16_t command, uint16_t sequence, uint64_t requestHash) const {
    for (const Remembered& r : recent_)
        if (r.used && r.command == command && r.sequence == sequence && r.requestHash == requestHash) return &r;
    return nullptr;
}

void Controller::remember(uint16_t command, uint16_t sequence, uint64_t requestHash, const uint8_t* packet, size_t n) {
    Remembered& r = recent_[nextSlot_];
    nextSlot_ = (nextSlot_ + 1) % kRemembered;
    r.used = true;
    r.command = command;
    r.sequence = sequence;
    r.requestHash = requestHash;
    r.length = static_cast<uint16_t>(n);
    std::memcpy(r.packet, packet, n);
}

size_t Controller::handleFrame(Framing framing, const uint8_t* frame, size_t n, uint8_t* reply, size_t capacity,
                               uint64_t origin) {
    const uint8_t* pdu = nullptr;
    size_t pduLength = 0;
    if (!unwrapFrame(framing, frame, n, &pdu, &pduLength) || pduLength < 2) return 0;
    const size_t hdr = headerBytes(framing);
    const size_t trailer = framing == Framing::tcp ? 0 : 2;
    if (capacity < hdr + 2 + trailer + packet::replyHeaderLength) return 0;
    uint8_t* out = reply + hdr;
    out[0] = pdu[0];  // reply with the request's station
    out[1] = pdu[1];
    const size_t room = capacity - hdr - 2 - trailer;
    std::lock_guard<std::mutex> lock(mutex_);
    size_t body;
    if (pdu[1] == fc::request) {
        body = handleRequest(pdu + 2, pduLength - 2, out + 2, room, origin);
        if (body == 0) return 0;
        body += 2;
    } else {
        body = handleStandard(pdu[1], pdu + 2, pduLength - 2, out, room + 2);
        if (body == 0) return 0;
    }
    return wrapFrame(framing, reply, body);
}

size_t Controller::handleStandard(uint8_t function, const uint8_t* body, size_t n, uint8_t* pdu, size_t capacity) {
    auto exception = [&](uint8_t code) {
        pdu[1] = static_cast<uint8_t>(function | fc::exceptionFlag);
        pdu[2] = code;
        return size_t{3};
    };
    if (n < 4 || capacity < 260) return exception(kIllegalValue);
    const uint16_t start = getBe16(body);
    const uint16_t count = getBe16(body + 2);
    // The coils and registers are the interpreter's MODBUS_BIT and
    // MODBUS_REG areas: a command sees what the standard functions wrote.
    interp::Variables& vars = console_.interpreter().variables();
    std::vector<uint8_t>& coils = vars.modbusBits();
    std::vector<uint16_t>& registers = vars.modbusRegisters();
    const uint32_t end = static_cast<uint32_t>(start) + count;
    switch (function) {
        case fc::readCoils: {
            if (count == 0 || count > 2000) return exception(kIllegalValue);
            if (end > coils.size()) return exception(kIllegalAddress);
            const size_t bytes = (count + 7u) / 8u;
            pdu[2] = static_cast<uint8_t>(bytes);
            std::memset(pdu + 3, 0, bytes);
            for (uint32_t i = 0; i < count; ++i)
                if (coils[start + i]) pdu[3 + i / 8] = static_cast<uint8_t>(pdu[3 + i / 8] | (1u << (i % 8)));
            return 3 + bytes;
        }
        case fc::readHoldingRegisters: {
            if (count == 0 || count > 125) return exception(kIllegalValue);
            if (end > registers.size()) return exception(kIllegalAddress);
            pdu[2] = static_cast<uint8_t>(2 * count);
            for (uint32_t i = 0; i < count; ++i) putBe16(pdu + 3 + 2 * i, registers[start + i]);
            return 3 + 2u * count;
        }
        case fc::writeSingleCoil:
            if (start >= coils.size()) return exception(kIllegalAddress);
            if (count != 0xFF00 && count != 0) return exception(kIllegalValue);
            coils[start] = count == 0xFF00 ? 1 : 0;
            std::memcpy(pdu + 2, body, 4);
            return 6;
        case fc::writeSingleRegister:
            if (start >= registers.size()) return exception(kIllegalAddress);
            registers[start] = count;
            std::memcpy(pdu + 2, body, 4);
            return 6;
        case fc::writeMultipleCoils: {
            const size_t bytes = (count + 7u) / 8u;
            if (count == 0 || count > 1968 || n < 5 || body[4] != bytes || n < 5 + bytes) return exception(kIllegalValue);
            if (end > coils.size()) return exception(kIllegalAddress);
            for (uint32_t i = 0; i < count; ++i) coils[start + i] = getBit(body + 5, i) ? 1 : 0;
            std::memcpy(pdu + 2, body, 4);
            return 6;
        }
        case fc::writeMultipleRegisters: {
            if (count == 0 || count > 123 || n < 5 || body[4] != 2 * count || n < 5 + 2u * count)
                return exception(kIllegalValue);
            if (end > registers.size()) return exception(kIllegalAddress);
            for (uint32_t i = 0; i < count; ++i) registers[start + i] = getBe16(body + 5 + 2 * i);
            std::memcpy(pdu + 2, body, 4);
            return 6;
        }
        default:
            return exception(kIllegalFunction);
    }
}

void Controller::transferReply(uint16_t command, const uint8_t* args, size_t n, size_t capacity, Reply& rep) {
    std::string& data = transferData_;
    data.clear();
    const size_t room = std::min<size_t>(capacity, packet::largestPacket) - packet::replyHeaderLength;
    rep.status(transfers_.handle(command, args, n, room, data, &model_));
    rep.bytes(data.data(), data.size());
}

bool Controller::serveByService(uint16_t command, const uint8_t* args, size_t n, size_t capacity, Reply& rep,
                                uint64_t origin) {
    for (auto& s : services_) {
        if (!s->serves(command)) continue;
        const size_t room = std::min<size_t>(capacity, packet::largestPacket) - packet::replyHeaderLength;
        ServiceRequest request{*this, command, args, n, room, rep, origin};
        s->serve(request);
        return true;
    }
    return false;
}

bool Controller::isDownloadBlock(uint16_t command, uint16_t number) const {
    if (number == 0) return false;
    if (TransferService::downloads(command)) return true;
    for (const auto& s : services_)
        if (s->streamsBlocks(command)) return true;
    return false;
}

size_t Controller::handleRequest(const uint8_t* req, size_t n, uint8_t* out, size_t capacity, uint64_t origin) {
    if (n < packet::headerLength || getU16(req) != n || capacity < packet::replyHeaderLength) return 0;
    const uint16_t command = getU16(req + packet::commandOffset);
    const uint16_t sequence = getU16(req + packet::sequenceOffset);
    if (unacknowledged(command)) {
        if (command == req::keepAlive) ++model_.keepAlives;
        return 0;
    }
    // A resent frame (the identical request: same command, sequence and
    // arguments, from the same sender) gets the same reply and is not acted
    // on again. A new host process starts its sequence afresh, so the
    // sequence alone is not enough.
    const uint64_t requestHash = requestHashOf(origin, req, n);
    if (const Remembered* r = recall(command, sequence, requestHash)) {
        ++model_.duplicatesAnswered;
        std::memcpy(out, r->packet, r->length);
        return r->length;
    }
    ++model_.requestsActedOn;
    const uint8_t* a = req + packet::argumentsOffset;
    const size_t argLength = n - packet::headerLength;
    auto need = [&](size_t bytes) { return argLength >= bytes; };
    ControllerModel& m = model_;
    Reply rep(out, std::min<size_t>(capacity, packet::largestPacket), command, sequence);

    for (auto& s : services_) s->advance(*this);
    for (auto& s : services_) {
        if (const int32_t refused = s->refusal(*this, command)) {
            rep.status(refused);
            const size_t length = rep.finish();
            remember(command, sequence, requestHash, out, length);
            return length;
        }
    }

    switch (command) {
        case req::state:
            rep.u8(m.runState);
            rep.u8(m.stoppedTask);
            break;
        case req::sysSpecification: {
            if (!need(4)) {
                rep.status(kStatusBadArgument);
                break;
            }
            m.lastConnectionId = getU32(a);
            putU16(m.sysSpecification.data() + 4, m.axisCount);
            rep.bytes(m.sysSpecification.data(), m.sysSpecification.size());
            break;
        }
        case req::currentIp:
            rep.bytes(m.ipText.data(), std::min<size_t>(m.ipText.size() + 1, 20));
            break;
        case req::clientId:
            rep.u32(static_cast<uint32_t>(m.clientId));
            break;
        case req::softId:
            rep.u32(static_cast<uint32_t>(m.softId));
            break;
        case req::hardId:
            rep.u32(static_cast<uint32_t>(m.hardId));
            break;
        case req::softVersion:
            rep.u32(m.softVersion);
            rep.text(m.versionText, 16);
            rep.u32(m.versionDate);
            break;
        case req::error:
            rep.u32(static_cast<uint32_t>(m.errorCode));
            break;
        case req::axisFeatures:
        case req::axisStates: {
            if (!need(1) || a[0] >= m.axisCount || a[0] >= kMaxAxes) {
                rep.status(kStatusBadArgument);
                break;
            }
            const AxisState& ax = m.axes[a[0]];
            if (command == req::axisFeatures)
                rep.u32(static_cast<uint32_t>(ax.features));
            else
                rep.bytes(ax.states.data(), ax.states.size());
            break;
        }
        case req::chipId:
            rep.u32(static_cast<uint32_t>(m.chipId));
            break;
        case req::axisEnable: {
            const uint16_t axis = need(2) ? getU16(a) : 0xFFFF;
            if (!need(3) || axis >= m.axisCount || axis >= kMaxAxes) {
                rep.status(kStatusBadArgument);
                break;
            }
            m.axes[axis].enabled = a[2] != 0;
            break;
        }
        case req::setOutput:
        case req::getIn:
        case req::getOutput: {
            const uint16_t io = need(2) ? getU16(a) : 0xFFFF;
            if (io >= kIoPoints || (command == req::setOutput && !need(3))) {
                rep.status(kStatusBadArgument);
                break;
            }
            if (command == req::setOutput)
                m.setOutput(io, a[2] != 0);
            else
                rep.u8(command == req::getIn ? m.input(io) : m.output(io));
            break;
        }
        case req::setOutAll: {
            if (!need(8)) {
                rep.status(kStatusBadArgument);
                break;
            }
            const uint16_t first = getU16(a), last = getU16(a + 2);
            const uint32_t bits = getU32(a + 4);
            for (uint32_t io = first, b = 0; io <= last && b < 32; ++io, ++b) m.setOutput(static_cast<int>(io), (bits >> b) & 1);
            break;
        }
        case req::getInAll:
        case req::getOutAll: {
            if (!need(4)) {
                rep.status(kStatusBadArgument);
                break;
            }
            const uint8_t* bits = command == req::getInAll ? m.inputs.data() : m.outputs.data();
            rep.u32(static_cast<uint32_t>(foldBits(bits, getU16(a), getU16(a + 2))));
            break;
        }
        case req::setDaOut: {
            const uint16_t channel = need(6) ? getU16(a + 4) : 0xFFFF;
            if (channel >= kAnalogChannels) {
                rep.status(kStatusBadArgument);
                break;
            }
            m.daOut[channel] = getI32(a);
            break;
        }
        case req::getDaOut:
        case req::getAIn: {
            const uint16_t channel = need(2) ? getU16(a) : 0xFFFF;
            if (channel >= kAnalogChannels) {
                rep.status(kStatusBadArgument);
                break;
            }
            rep.f32(command == req::getDaOut ? static_cast<float>(m.daOut[channel]) : m.analogIn[channel]);
            break;
        }
        case req::transferState:
            if (!m.transferStateSupported) {
                rep.status(kStatusNotSupported);
                break;
            }
            transferReply(command, a, argLength, capacity, rep);
            break;
        case req::lowFormatNand:
            m.lastFormatValue = need(4) ? getI32(a) : 0;
            break;
        case req::resetController:
            ++m.resets;
            break;
        case req::setMac: {
            // The text arrives with its terminator.
            const char* text = reinterpret_cast<const char*>(a);
            m.macText.assign(text, strnlen(text, argLength));
            break;
        }
        case req::getMac:
            rep.bytes(m.macText.data(), std::min<size_t>(m.macText.size() + 1, 14));
            break;
        case req::clearLog:
            ++m.logClears;
            break;
        case req::returnDefault:
            m.lastDefaultValue = need(4) ? getI32(a) : 0;
            break;
        case req::taskState:
        case req::taskStackState: {
            const uint16_t task = need(2) ? getU16(a) : 0xFFFF;
            if (task >= kTasks) {
                rep.status(kStatusBadArgument);
                break;
            }
            const TaskState& t = m.tasks[task];
            if (command == req::taskState) {
                rep.u8(t.state);
                rep.u8(t.second);
                rep.u16(t.word);
                rep.u32(static_cast<uint32_t>(t.value));
                rep.text(t.text, 26);
            } else {
                rep.u32(static_cast<uint32_t>(t.value));
                rep.u8(t.state);
                rep.text(t.text, 23);
            }
            break;
        }
        case req::childCard: {
            const uint16_t index = need(2) ? getU16(a) : 0xFFFF;
            if (index >= m.childCardCount) {
                rep.status(kStatusBadArgument);
                break;
            }
            const ChildCard& c = m.childCards[index];
            rep.u32(c.id);
            rep.u16(c.kind);
            rep.bytes(c.bytes.data(), c.bytes.size());
            break;
        }
        case req::appendText:
        case req::freeSpace:
        case req::fetchAnswer:
        case req::direct: {
            if (command == req::appendText || command == req::direct) consoleOrigin_ = origin;
            std::string data;
            const size_t room = std::min<size_t>(capacity, packet::largestPacket) - packet::replyHeaderLength;
            rep.status(handleText(command, a, argLength, room, data));
            rep.bytes(data.data(), data.size());
            break;
        }
        default:
            if (TransferService::handles(command)) {
                transferReply(command, a, argLength, capacity, rep);
                break;
            }
            if (!serveByService(command, a, argLength, capacity, rep, origin)) rep.status(kStatusNotSupported);
            break;
    }
    const size_t length = rep.finish();
    remember(command, sequence, requestHash, out, length);
    return length;
}

int32_t Controller::handleText(uint16_t command, const uint8_t* args, size_t n, size_t room, std::string& data) {
    const uint32_t now = tickMs();
    console_.interpreter().variables().setAxisCount(model_.axisCount);
    switch (command) {
        case req::appendText:
            return console_.append(args, n, now) ? 0 : kStatusBufferFull;
        case req::freeSpace: {
            uint8_t free[4];
            putI32(free, console_.freeSpace(now));
            data.assign(reinterpret_cast<const char*>(free), sizeof free);
            return 0;
        }
        case req::fetchAnswer: {
            std::string text;
            const uint8_t state = console_.nextPiece(now, room > 0 ? room - 1 : 0, text);
            data.assign(1, static_cast<char>(state));
            data += text;
            return 0;
        }
        default: {
            const interp::ErrorKind e = console_.direct(args, n, data);
            if (e != interp::ErrorKind::none) {
                data.clear();
                return interp::directStatus(e);
            }
            // An answer longer than one reply is cut at the reply's end.
            if (data.size() > room) data.resize(room);
            return 0;
        }
    }
}

bool Controller::framePush(Framing framing, const PushedPacket& p, std::vector<uint8_t>& frame) {
    frame.resize(kFrameCapacity);
    const size_t n = buildUnsolicited(framing, kBroadcastStation, p.command, pushSequence_, p.value, p.data.data(),
                                      p.data.size(), frame.data(), frame.size());
    frame.resize(n);
    if (n == 0) return false;
    // 0xFFFF is what a host's last-seen sequence starts at: never sent.
    if (++pushSequence_ == 0xFFFF) pushSequence_ = 0;
    return true;
}

void Controller::takePushes(Framing framing, uint32_t nowMs, std::vector<PushedFrame>& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<PushedPacket> packets;
    for (auto& s : services_) s->takePushes(*this, nowMs, packets);
    for (const PushedPacket& p : packets) {
        PushedFrame f{p.origin, {}};
        if (framePush(framing, p, f.bytes)) out.push_back(std::move(f));
    }
}

uint32_t Controller::msUntilPush(uint32_t nowMs, uint32_t idleMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    uint32_t best = idleMs;
    for (auto& s : services_) best = std::min(best, s->msUntilPush(nowMs, idleMs));
    return best;
}

size_t Controller::buildUnsolicited(Framing framing, uint8_t station, uint16_t command, uint16_t sequence,
                                    int32_t value, const uint8_t* data, size_t n, uint8_t* out, size_t capacity) {
    const size_t hdr = headerBytes(framing);
    const size_t trailer = framing == Framing::tcp ? 0 : 2;
    const size_t length = packet::replyHeaderLength + n;
    if (hdr + 2 + length + trailer > capacity || length > 0xFFFF) return 0;
    uint8_t* pdu = out + hdr;
    pdu[0] = station;
    pdu[1] = fc::unsolicited;
    putU16(pdu + 2, static_cast<uint16_t>(length));
    putU16(pdu + 4, command);
    putU16(pdu + 6, sequence);
    putI32(pdu + 8, value);
    if (n) std::memcpy(pdu + 12, data, n);
    return wrapFrame(framing, out, 2 + length);
}

}  // namespace tvx::sim
