// Seeds of the wire parsers, recorded from the library talking to the
// simulated controller in both framings: the replies each family of the
// reply fuzzer receives, the request frames the controller takes (whole,
// as serial byte streams, as PCI write packets) and the reply frames the
// channel assembles (whole and as PCI read packets).
#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/bytes.h"
#include "channel/request_codes.h"
#include "engine/controller.h"
#include "engine/inprocess_link.h"
#include "frame/library_frame.h"
#include "link/pci_packets.h"
#include "reply_families.h"
#include "seed_output.h"
#include "support/frames.h"

namespace tvx::seeds {
namespace {

struct Exchange {
    Bytes request;
    Bytes reply;
};

struct Recorder {
    sim::InProcessLink link;
    std::vector<Exchange> exchanges;
};

size_t record(void* context, const uint8_t* request, size_t requestLength, uint8_t* reply, size_t replyLength,
              size_t) {
    auto* r = static_cast<Recorder*>(context);
    r->exchanges.push_back({Bytes(request, request + requestLength), Bytes(reply, reply + replyLength)});
    return replyLength;
}

// The packet of a function-72 frame (length field first), or empty.
Bytes packetOf(Framing f, const Bytes& frame) {
    const size_t at = headerBytes(f) + 2;
    if (frame.size() < at + 6 || frame[at - 1] != 72) return {};
    const size_t n = getU16(frame.data() + at);
    if (n < 6 || at + n > frame.size()) return {};
    return Bytes(frame.begin() + static_cast<long>(at), frame.begin() + static_cast<long>(at + n));
}

// The reply fuzzer's input for one family: selector, then each reply's
// packet bytes after the 6-byte header.
Bytes replySeed(uint8_t selector, const std::vector<Exchange>& exchanges, Framing f) {
    Bytes seed{selector};
    for (const Exchange& e : exchanges) {
        const Bytes packet = packetOf(f, e.reply);
        if (packet.empty()) continue;
        seed.push_back(0);
        appendU16(seed, packet.size() - 6);
        seed.insert(seed.end(), packet.begin() + 6, packet.end());
    }
    return seed;
}

const char* const kFamilyNames[] = {"queries", "text", "listings", "uploads", "downloads", "cycle_screen"};
static_assert(std::size(kFamilyNames) == fuzzing::kReplyFamilyCount);

// Files and a table for the listing and upload families to find.
void prepareController(TVX_HANDLE h) {
    Bytes file(2000);
    for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<uint8_t>(i * 3);
    TVX_DownMemFile(h, file.data(), static_cast<uint32_t>(file.size()), "F");
    const std::string basic = "PRINT 1\r\n";
    TVX_DownMemFile(h, basic.data(), static_cast<uint32_t>(basic.size()), "MAIN.BAS");
    float table[64];
    for (int i = 0; i < 64; ++i) table[i] = static_cast<float>(i) * 0.5f;
    TVX_FlashWritef(h, 1, 64, table);
    char answer[64];
    TVX_Execute(h, "VR(0)=5:VR(1)=7", 30, answer, sizeof answer);
}

struct Session {
    Framing framing;
    std::vector<std::vector<Exchange>> families;  // per reply family
};

bool recordSession(Framing f, Session* out) {
    Recorder r;
    sim::Controller controller;
    r.link.controller = &controller;
    r.link.framing = f;
    TVX_HANDLE h = nullptr;
    if (sim::openInProcess(r.link, &h, true, 500) != 0) return false;
    r.link.filterContext = &r;
    r.link.filter = record;
    out->framing = f;
    out->families.assign(fuzzing::kReplyFamilyCount, {});
    // Downloads first: they replace F, which the uploads then read back.
    const size_t order[] = {4, 0, 1, 5, 2, 3};
    for (size_t family : order) {
        if (family == 0) {
            prepareController(h);
            r.exchanges.clear();
        }
        fuzzing::kReplyFamilies[family](h);
        out->families[family] = std::move(r.exchanges);
        r.exchanges.clear();
    }
    r.link.filter = nullptr;
    TVX_Close(h);
    return true;
}

// The controller's input: flags (bit 0: serial framing), then frames led by
// their u16 length.
bool engineSeeds(const Session& s, const std::string& tag) {
    bool ok = true;
    for (size_t i = 0; i < s.families.size(); ++i) {
        Bytes seed{static_cast<uint8_t>(s.framing == Framing::rtu ? 1 : 0)};
        for (const Exchange& e : s.families[i]) {
            if (seed.size() + e.request.size() > 4096) break;
            appendU16(seed, e.request.size());
            append(seed, e.request);
        }
        if (seed.size() > 1) ok = writeSeed("fuzz_sim_engine", "session_" + std::string(kFamilyNames[i]) + "_" + tag, seed) && ok;
    }
    return ok;
}

// The serial framer's input: chunks led by a length byte and the time in
// 16 ms steps since the previous chunk (a pause between frames, none inside).
bool serialSeeds(const Session& s) {
    bool ok = true;
    for (size_t i = 0; i < s.families.size(); ++i) {
        Bytes seed;
        for (const Exchange& e : s.families[i]) {
            if (seed.size() + e.request.size() > 4096) break;
            for (size_t at = 0; at < e.request.size(); at += 200) {
                const size_t n = std::min<size_t>(200, e.request.size() - at);
                seed.push_back(static_cast<uint8_t>(n));
                seed.push_back(at == 0 ? 1 : 0);
                seed.insert(seed.end(), e.request.begin() + static_cast<long>(at),
                            e.request.begin() + static_cast<long>(at + n));
            }
        }
        if (!seed.empty()) ok = writeSeed("fuzz_rtu_framer", kFamilyNames[i], seed) && ok;
    }
    return ok;
}

// The PCI fuzzer: with bit 0 of the first byte clear, control requests
// [kind][u16 length][bytes] to a card whose packet size follows from the
// input's length; with it set, one read packet after the u16 packet size.
constexpr uint8_t kToCard = 0x80 | 1;  // full output buffer, the card's channel
constexpr size_t kPacketData = 60;

void control(Bytes& seed, uint32_t base, const Bytes& in) {
    seed.push_back(static_cast<uint8_t>(kToCard | (base & 0x1C)));
    appendU16(seed, in.size());
    append(seed, in);
}

bool pciSeeds(const Session& s) {
    bool ok = true;
    for (size_t i = 0; i < s.families.size(); ++i) {
        Bytes seed{0};
        control(seed, pci::code::queryChannel, {});
        for (const Exchange& e : s.families[i]) {
            if (seed.size() + e.request.size() > 3000) break;
            const size_t packets = (e.request.size() + kPacketData - 1) / kPacketData;
            for (size_t p = 0; p < packets; ++p) {
                const size_t at = p * kPacketData;
                const size_t n = std::min(kPacketData, e.request.size() - at);
                Bytes packet{pci::kWriteMarker, static_cast<uint8_t>(packets == 1       ? pci::kOnlyPacket
                                                                     : p + 1 == packets ? pci::kLastPacket
                                                                                        : p + 1)};
                appendU16(packet, n);
                packet.insert(packet.end(), e.request.begin() + static_cast<long>(at),
                              e.request.begin() + static_cast<long>(at + n));
                control(seed, pci::code::writeReady, {});
                control(seed, pci::code::writePacket, packet);
            }
            control(seed, pci::code::readForWait, {});
            control(seed, pci::code::readForThread, {});
        }
        control(seed, pci::code::release, {});
        // The card's packet size is 16 + (input length - 1) % 4081: pad with
        // idle reads until every packet fits.
        while ((seed.size() - 1) % 4081 + 16 < kPacketData + pci::packet_header::bytes)
            control(seed, pci::code::readForThread, {});
        ok = writeSeed("fuzz_pci_packets", std::string("card_") + kFamilyNames[i], seed) && ok;
    }
    // Read packets: the reply frames of the queries cut as a card does.
    int n = 0;
    for (const Exchange& e : s.families[0]) {
        if (n >= 4 || e.reply.size() < 8) continue;
        const size_t take = std::min<size_t>(e.reply.size(), 200);
        Bytes seed{1};
        appendU16(seed, 256);
        seed.push_back(pci::kReadMarker);
        seed.push_back(take == e.reply.size() ? 0 : 1);
        appendU16(seed, take);
        seed.insert(seed.end(), e.reply.begin(), e.reply.begin() + static_cast<long>(take));
        ok = writeSeed("fuzz_pci_packets", "read_packet_" + std::to_string(n++), seed) && ok;
    }
    return ok;
}

// The channel fuzzer: framing bit, station, command and sequence of the
// pending request, then chunks led by a control byte (its low 7 bits x 17
// bytes, or 0 for the rest). The recorded reply is given the pending
// request's station, command and sequence.
bool channelSeeds(const Session& s, const std::string& tag) {
    const bool tcp = s.framing == Framing::tcp;
    std::set<uint16_t> seen;
    bool ok = true;
    for (const auto& family : s.families) {
        for (const Exchange& e : family) {
            Bytes packet = packetOf(s.framing, e.reply);
            if (packet.empty()) continue;
            const uint16_t command = getU16(packet.data() + 2);
            if (!seen.insert(command).second || seen.size() > 12) continue;
            const uint8_t station = 0x11, sequence = 0x21;
            putU16(packet.data() + 2, static_cast<uint8_t>(command));
            putU16(packet.data() + 4, sequence);
            const Bytes frame = testing::frameFor(tcp, station, 72, packet);
            Bytes seed{static_cast<uint8_t>(tcp ? 1 : 0), station, static_cast<uint8_t>(command), sequence};
            seed.push_back(0);
            append(seed, frame);
            ok = writeSeed("fuzz_channel", "reply_" + tag + "_" + std::to_string(command), seed) && ok;
            if (seen.size() == 3) {
                // The same reply in 17-byte pieces, then once more whole.
                Bytes pieces(seed.begin(), seed.begin() + 4);
                for (size_t at = 0; at < frame.size(); at += 17) {
                    const size_t n = std::min<size_t>(17, frame.size() - at);
                    pieces.push_back(1);
                    pieces.insert(pieces.end(), frame.begin() + static_cast<long>(at),
                                  frame.begin() + static_cast<long>(at + n));
                }
                pieces.push_back(0);
                append(pieces, frame);
                ok = writeSeed("fuzz_channel", "pieces_" + tag, pieces) && ok;
            }
        }
    }
    return ok;
}

// One MBAP request frame to station 1 carrying `packet` (length field first).
Bytes mbapRequest(uint16_t command, const Bytes& body) {
    Bytes packet;
    appendU16(packet, 6 + body.size());
    appendU16(packet, command);
    appendU16(packet, 1);
    append(packet, body);
    return testing::tcpFrame(1, 72, packet);
}

// Download starts announcing 4 GiB to every store that takes downloads:
// the simulator once reserved the announced length and ran out of memory
// on the first of them.
bool oversizedDownloadSeeds() {
    Bytes seed{0};
    auto add = [&seed](uint16_t command, const Bytes& body) {
        const Bytes frame = mbapRequest(command, body);
        appendU16(seed, frame.size());
        append(seed, frame);
    };
    // Block 0, attribute, u32 total, name.
    const Bytes start{0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 'B', 'I', 'G', 0};
    add(req::fileDown, start);
    add(req::flashTableDown, {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, '1', 0});
    add(req::archiveRamRun, {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0});
    add(req::threeFileDown, start);
    add(req::threeFileRamDown, start);
    add(req::firmwareDown, start);
    // Block 0, attribute, file number 7, u32 announced value, name.
    add(req::threeFileRamPart, {0, 0, 0, 0, 7, 0, 0xFF, 0xFF, 0xFF, 0xFF, 'B', 0});
    // Block 0, attribute, total, section index 0, attribute, u32 length, name.
    add(req::firmwareSection, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 'S', 0});
    return writeSeed("fuzz_sim_engine", "oversized_downloads", seed);
}

}  // namespace

bool makeWireSeeds() {
    libraryLoad();
    bool ok = true;
    for (Framing f : {Framing::tcp, Framing::rtu}) {
        Session s;
        const std::string tag = f == Framing::tcp ? "tcp" : "rtu";
        if (!recordSession(f, &s)) {
            std::fprintf(stderr, "cannot open the simulated controller (%s)\n", tag.c_str());
            return false;
        }
        for (size_t i = 0; i < s.families.size(); ++i) {
            const uint8_t selector = static_cast<uint8_t>(i | (f == Framing::rtu ? 0x80 : 0));
            ok = writeSeed("fuzz_replies", std::string(kFamilyNames[i]) + "_" + tag,
                           replySeed(selector, s.families[i], f)) && ok;
        }
        ok = engineSeeds(s, tag) && ok;
        ok = channelSeeds(s, tag) && ok;
        if (f == Framing::rtu) {
            ok = serialSeeds(s) && ok;
            ok = pciSeeds(s) && ok;
        }
    }
    ok = oversizedDownloadSeeds() && ok;
    libraryUnload();
    return ok;
}

}  // namespace tvx::seeds
