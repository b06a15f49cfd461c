/*
 * tavrix.hpp - header-only C++20 layer over tavrix.h.
 *
 *   auto ctl = tavrix::Controller::open("127.0.0.21").value();   // throws on failure
 *   if (auto state = ctl.state()) std::printf("%u\n", *state);     // or test the result
 *   std::string answer = ctl.execute("?VR(10)").value();
 *
 * Every call returns a tavrix::Result<T>: test it (`if (r)`, `r.code()`) or
 * take its value with `value()`, which throws tavrix::Error (code and
 * description) when the call failed. Controller owns its handle: move-only,
 * closed when destroyed. Texts go in as std::string_view, buffers as
 * std::span. The threading rules of tavrix.h apply unchanged.
 *
 * Controller::open infers the link kind from the address as tvx does:
 * "COM<n>" a serial port, "PCI<n>" or "PCIE<n>" a card, anything else
 * Ethernet. Every capability a host program calls has a member here; the
 * exports left to the C interface are listed, with the reason, in
 * tests/bindings/unbound_exports.txt of the source tree.
 *
 * Adding a wrapper for a new export: one member calling it through call()
 * or query<T>() below.
 *
 * Needs C++20 (std::span, std::bit_cast); the CMake target tavrix::tavrix
 * asks for it.
 */
#ifndef TAVRIX_HPP
#define TAVRIX_HPP

#if (defined(_MSVC_LANG) ? _MSVC_LANG : __cplusplus) < 202002L
#error "tavrix.hpp needs C++20 (-std=c++20, or link the CMake target tavrix::tavrix, which asks for it); C programs include tavrix.h"
#else

#include <array>
#include <bit>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <optional>
#include <utility>
#include <vector>

#include "tavrix.h"

namespace tavrix {

/* Text for any result code (never null): TVX_DescribeResult. */
inline const char* describe(int32_t code) { return TVX_DescribeResult(code); }

/* A failed call: the result code and its description. */
class Error : public std::runtime_error {
public:
    explicit Error(int32_t code) : std::runtime_error(message(code)), code_(code) {}
    int32_t code() const noexcept { return code_; }
    const char* description() const noexcept { return describe(code_); }

private:
    static std::string message(int32_t code) {
        return std::string(describe(code)) + " (" + std::to_string(code) + ")";
    }
    int32_t code_;
};

/* A value or the result code of a failed call. */
template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : value_(std::move(value)), code_(TVX_OK) {}
    static Result failure(int32_t code) { return Result(code, Failure{}); }

    bool ok() const noexcept { return code_ == TVX_OK; }
    explicit operator bool() const noexcept { return ok(); }
    int32_t code() const noexcept { return code_; }
    const char* description() const noexcept { return describe(code_); }

    /* The value; throws Error when the call failed. */
    T& value() & {
        if (!ok()) throw Error(code_);
        return value_;
    }
    const T& value() const& {
        if (!ok()) throw Error(code_);
        return value_;
    }
    /* From a temporary the value is moved out and returned by value, so
     * `for (auto& f : ctl.files().value())` iterates a live vector. */
    T value() && {
        if (!ok()) throw Error(code_);
        return std::move(value_);
    }
    T value_or(T fallback) const& { return ok() ? value_ : std::move(fallback); }
    T value_or(T fallback) && { return ok() ? std::move(value_) : std::move(fallback); }
    /* Unchecked access, for after a test of ok(); by value from a temporary. */
    T& operator*() & noexcept { return value_; }
    const T& operator*() const& noexcept { return value_; }
    T operator*() && noexcept { return std::move(value_); }
    T* operator->() noexcept { return &value_; }
    const T* operator->() const noexcept { return &value_; }

private:
    struct Failure {};
    Result(int32_t code, Failure) : value_(), code_(code) {}
    T value_;
    int32_t code_;
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result(int32_t code = TVX_OK) noexcept : code_(code) {}
    static Result failure(int32_t code) { return Result(code); }
    bool ok() const noexcept { return code_ == TVX_OK; }
    explicit operator bool() const noexcept { return ok(); }
    int32_t code() const noexcept { return code_; }
    const char* description() const noexcept { return describe(code_); }
    /* Throws Error when the call failed. */
    void value() const {
        if (!ok()) throw Error(code_);
    }

private:
    int32_t code_;
};

/* Throws Error for any code but TVX_OK. */
inline void check(int32_t code) {
    if (code != TVX_OK) throw Error(code);
}

namespace detail {
/* string_view is not terminated: the exports take C strings. */
inline std::string cstr(std::string_view text) { return std::string(text); }
/* A password: none (NULL) when empty. */
struct Password {
    explicit Password(std::string_view text) : text_(text) {}
    const char* get() const { return text_.empty() ? nullptr : text_.c_str(); }
    std::string text_;
};
/* Text of a fixed field that may fill its buffer without a terminator. */
template <size_t N>
std::string fieldText(const std::array<char, N>& field) {
    size_t n = 0;
    while (n < N && field[n] != '\0') ++n;
    return std::string(field.data(), n);
}
inline uint32_t size32(size_t n) {
    return n > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(n);
}
inline char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
inline bool digits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}
/* `text` starts with `prefix` in any letter case. */
inline bool startsWith(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (upper(text[i]) != prefix[i]) return false;
    return true;
}
/* A 0-terminated text in a buffer, up to its first 0 byte. */
inline std::string untilNul(const std::vector<char>& buffer) {
    size_t n = 0;
    while (n < buffer.size() && buffer[n] != '\0') ++n;
    return std::string(buffer.data(), n);
}
}  // namespace detail

/* The link kind an address names, as tvx reads it: "COM<n>" (blanks
 * allowed before n) a serial port, "PCI<n>" or "PCIE<n>" a card (any
 * letter case), anything else an Ethernet address. */
inline int32_t linkKindOf(std::string_view address) {
    if (detail::startsWith(address, "COM")) {
        std::string_view rest = address.substr(3);
        while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
        if (detail::digits(rest)) return TVX_LINK_SERIAL;
    }
    if (detail::startsWith(address, "PCIE") && detail::digits(address.substr(4))) return TVX_LINK_PCI;
    if (detail::startsWith(address, "PCI") && detail::digits(address.substr(3))) return TVX_LINK_PCI;
    return TVX_LINK_ETHERNET;
}

/* Cards present behind the PCI driver (both classes). */
inline int32_t pciCards() { return TVX_GetMaxPciCards(); }

/* Line settings and station address of later serial opens. */
inline Result<void> setSerialDefaults(uint32_t baud, uint32_t dataBits = 8, uint32_t parity = 0,
                                      uint32_t stopBits = 0) {
    return TVX_SetComDefaultBaud(baud, dataBits, parity, stopBits);
}
inline Result<void> setSerialDefaultStation(uint8_t station) { return TVX_SetComDefaultID(station); }
/* The connection identifier that every later open sends with its system query. */
inline Result<void> setConnectSecureId(uint32_t id) { return TVX_SetConnectSecureID(id); }

/* Installs the process-wide protocol trace callback (nullptr removes it). */
inline Result<void> setTraceCallback(TVX_TraceCallback callback, void* context = nullptr, uint32_t debugLevel = 0) {
    return TVX_SetTraceCallback(callback, context, debugLevel);
}

/* HMI file transforms, in place (each undoes the other). */
inline Result<void> hmiEncode(std::span<uint8_t> data) { return TVX_HmiFileEncode(data.data(), detail::size32(data.size())); }
inline Result<void> hmiDecode(std::span<uint8_t> data) { return TVX_HmiFileDecode(data.data(), detail::size32(data.size())); }

/* Library files (.nlb): build one from a .bas source or a compiled .plc
 * program; its type (2 BASIC, 3 PLC); its global declarations. */
inline Result<void> makeLibrary(std::string_view sourcePath, std::string_view libraryPath) {
    return TVX_MakeNlib(detail::cstr(sourcePath).c_str(), detail::cstr(libraryPath).c_str());
}
inline Result<int32_t> libraryType(std::string_view libraryPath) {
    int32_t type = 0;
    if (int32_t r = TVX_GetNlibFileType(detail::cstr(libraryPath).c_str(), &type)) return Result<int32_t>::failure(r);
    return type;
}
inline Result<std::string> libraryGlobals(std::string_view libraryPath, size_t capacity = 65536) {
    std::vector<char> text(capacity + 1, '\0');
    if (int32_t r = TVX_GetNlibGlobalDefine(detail::cstr(libraryPath).c_str(), text.data(), detail::size32(text.size())))
        return Result<std::string>::failure(r);
    return detail::untilNul(text);
}

/* The library's version, "major.minor.patch.tweak". */
inline Result<std::string> version() {
    std::array<char, 16> text{};
    if (int32_t r = TVX_GetDllVersion(text.data())) return Result<std::string>::failure(r);
    return detail::fieldText(text);
}

/* Addresses of the controllers answering a discovery broadcast within
 * `timeMs`; room for `capacity` controllers. */
inline Result<std::vector<std::string>> search(uint32_t timeMs = 500, size_t capacity = 256) {
    // One byte more than the library is given: the text ends in a 0 byte whatever it writes.
    std::vector<char> buffer(16 * capacity + 2, '\0');
    const int32_t r = TVX_SearchEth(buffer.data(), detail::size32(buffer.size() - 1), timeMs);
    if (r == -1) return Result<std::vector<std::string>>::failure(TVX_ERR_OS);
    if (r != TVX_OK) return Result<std::vector<std::string>>::failure(r);
    std::vector<std::string> found;
    std::string_view rest(buffer.data());
    while (!rest.empty()) {
        const size_t blank = rest.find(' ');
        if (blank != 0) found.emplace_back(rest.substr(0, blank));
        if (blank == std::string_view::npos) break;
        rest.remove_prefix(blank + 1);
    }
    return found;
}

/* The library's 32-bit string hash. */
inline int32_t stringHash(std::span<const uint8_t> data) {
    int32_t hash = 0;
    TVX_CalStringHash(data.data(), detail::size32(data.size()), &hash);
    return hash;
}

/* A project text file (.npj) as the record the archive builders take, with
 * the directory of its files. */
struct Project {
    std::vector<uint8_t> record = std::vector<uint8_t>(TVX_PROJECT_RECORD_MAX_BYTES);
    std::array<char, TVX_PATH_BYTES> directory{};
};

inline Result<Project> loadProject(std::string_view npjPath) {
    Project p;
    if (int32_t r = TVX_MakeMultiFileNpj(p.record.data(), p.directory.data(), detail::cstr(npjPath).c_str()))
        return Result<Project>::failure(r);
    return p;
}

/* A one-entry project of a single .bas or .plc program file. */
inline Result<Project> oneFileProject(std::string_view programPath) {
    Project p;
    if (int32_t r = TVX_MakeOneFileNpj(p.record.data(), p.directory.data(), detail::cstr(programPath).c_str()))
        return Result<Project>::failure(r);
    return p;
}

/* Fills each entry's slot size and hash from the files of the project's
 * directory, in place. */
inline Result<void> completeProject(Project& p) { return TVX_MakeRealNpjMem(p.directory.data(), p.record.data()); }

/* The completed record of a project text file (.npj). */
inline Result<std::vector<uint8_t>> completedProjectRecord(std::string_view npjPath) {
    std::vector<uint8_t> record(TVX_PROJECT_RECORD_MAX_BYTES);
    if (int32_t r = TVX_MakeRealNpj(detail::cstr(npjPath).c_str(), record.data(), detail::size32(record.size())))
        return Result<std::vector<uint8_t>>::failure(r);
    return record;
}

/* Builds a program archive file from a project text file (.npj). */
inline Result<void> makeNar(std::string_view npjPath, std::string_view archivePath, std::string_view password = {},
                            uint32_t word = 0) {
    Result<Project> p = loadProject(npjPath);
    if (!p) return p.code();
    return TVX_MakeNar2(p->record.data(), p->directory.data(), detail::cstr(archivePath).c_str(),
                        detail::Password(password).get(), word);
}
/* The same from a stored project record file (.prj, the record as written
 * by a programming tool), its member files beside it. */
inline Result<void> makeNarFromRecordFile(std::string_view prjPath, std::string_view archivePath,
                                          std::string_view password = {}, uint32_t word = 0) {
    return TVX_MakeNar(detail::cstr(prjPath).c_str(), detail::cstr(archivePath).c_str(),
                       detail::Password(password).get(), word);
}
/* The same from a loaded project (its slot sizes are overwritten with the
 * builder's estimates). */
inline Result<void> makeNar(Project& p, std::string_view archivePath, std::string_view password = {},
                            uint32_t word = 0) {
    return TVX_MakeNar2(p.record.data(), p.directory.data(), detail::cstr(archivePath).c_str(),
                        detail::Password(password).get(), word);
}

/* The handle's resend estimate (TVX_GetResendEstimate). */
struct ResendEstimate {
    uint32_t firstWaitMs = 0;  // wait before a transaction's first resend
    uint32_t smoothedUs = 0;   // smoothed round trip; 0 until measured
    uint32_t variationUs = 0;  // its variation
};

struct SoftVersion {
    uint32_t version = 0;
    std::string text;
    uint32_t date = 0;
};

struct TaskState {
    uint8_t state = 0;
    uint8_t second = 0;
    uint16_t word = 0;
    int32_t value = 0;
    std::string text;
};

struct FileEntry {
    std::string name;
    uint32_t size = 0;
    bool operator==(const FileEntry&) const = default;
};

/* 16-bit pixels row by row (`width` per row), in the controller's encoding. */
struct Image {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint16_t> pixels;
};

/* One stack level of a task. */
struct StackState {
    uint8_t byte = 0;
    int32_t value = 0;
    std::string text;
};

/* A local variable of a program stopped in the debugger. */
struct LocalVariable {
    int32_t value = 0;
    std::array<uint8_t, 8> extra{};
    std::string name;
};

/* What a name denotes on the controller. */
struct NameType {
    uint16_t type = 0;
    int32_t second = 0;
    std::array<uint8_t, 8> third{};
};

/* Regions of a screen that changed, and the check's state values. */
struct LcdChanges {
    TVX_LcdRegionList regions{};
    TVX_LcdCheckInfo info{};
};

/* One LCD chunk as it came, and the position to ask next. */
struct LcdChunk {
    uint32_t next = 0;
    int32_t kind = 0;
    std::vector<uint8_t> data;
};

/* Answer text waiting now, and whether the command has finished. */
struct Received {
    std::string text;
    bool done = false;
};

/* An open controller link; closes it when destroyed. */
class Controller {
public:
    /* No link (as after a move or close()). */
    Controller() noexcept = default;
    /* Takes ownership of a handle opened through the C interface. */
    explicit Controller(TVX_HANDLE adopted) noexcept : handle_(adopted) {}
    Controller(Controller&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Controller& operator=(Controller&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;
    ~Controller() { reset(); }

    /* Opens the link the address names (see linkKindOf), or the given kind. */
    static Result<Controller> open(std::string_view address) { return open(address, linkKindOf(address)); }
    static Result<Controller> open(std::string_view address, int32_t kind) {
        return adopt([&](TVX_HANDLE* h) { return TVX_Open(kind, detail::cstr(address).c_str(), h); });
    }
    /* A full open that `timeoutMs` bounds as a whole, also the budget of later requests. */
    static Result<Controller> openWithTimeout(std::string_view address, uint32_t timeoutMs) {
        return openWithTimeout(address, timeoutMs, linkKindOf(address));
    }
    static Result<Controller> openWithTimeout(std::string_view address, uint32_t timeoutMs, int32_t kind) {
        return adopt(
            [&](TVX_HANDLE* h) { return TVX_OpenWithTimeOut(kind, detail::cstr(address).c_str(), timeoutMs, h); });
    }
    /* Without the transfer probe, with `timeoutMs` as the budget from the start. */
    static Result<Controller> fastOpen(std::string_view address, uint32_t timeoutMs) {
        return fastOpen(address, timeoutMs, linkKindOf(address));
    }
    static Result<Controller> fastOpen(std::string_view address, uint32_t timeoutMs, int32_t kind) {
        return adopt([&](TVX_HANDLE* h) { return TVX_FastOpen(kind, detail::cstr(address).c_str(), timeoutMs, h); });
    }
    /* Ethernet after a probe of 100 ms, or of `timeMs` (20008 when nothing
     * answers); the address also as a 32-bit value in network byte order. */
    static Result<Controller> openEthernet(std::string_view ip) {
        return adopt([&](TVX_HANDLE* h) { return TVX_OpenEth(detail::cstr(ip).c_str(), h); });
    }
    static Result<Controller> searchAndOpen(std::string_view ip, uint32_t timeMs) {
        return adopt([&](TVX_HANDLE* h) { return TVX_SearchAndOpenEth(detail::cstr(ip).c_str(), timeMs, h); });
    }
    static Result<Controller> openEthernet(uint32_t ipNetworkOrder) {
        return adopt([&](TVX_HANDLE* h) { return TVX_OpenEth2(ipNetworkOrder, h); });
    }
    /* Serial port `port` (COM<port>); with a budget, as TVX_PeakCom. */
    static Result<Controller> openSerial(uint32_t port) {
        return adopt([&](TVX_HANDLE* h) { return TVX_OpenCom(port, h); });
    }
    static Result<Controller> openSerial(uint32_t port, uint32_t timeoutMs) {
        return adopt([&](TVX_HANDLE* h) { return TVX_PeakCom(port, timeoutMs, h); });
    }
    /* The first of ports first..last that answers; its number through `found`. */
    static Result<Controller> findSerial(uint32_t first, uint32_t last, uint32_t* found = nullptr) {
        return adopt([&](TVX_HANDLE* h) { return TVX_SearchAndOpenCom(first, last, found, 0, h); });
    }
    /* Card `card`, counted from 0 over all cards. */
    static Result<Controller> openPci(uint32_t card) {
        return adopt([&](TVX_HANDLE* h) { return TVX_OpenPci(card, h); });
    }

    /* The raw handle, for exports without a wrapper; null once closed. */
    TVX_HANDLE get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }
    /* Gives up ownership without closing. */
    TVX_HANDLE release() noexcept { return std::exchange(handle_, nullptr); }
    /* Closes now; the destructor then does nothing, nor does a second close. */
    Result<void> close() {
        TVX_HANDLE h = std::exchange(handle_, nullptr);
        return h ? TVX_Close(h) : TVX_OK;
    }

    // Handle settings
    Result<void> setTimeout(uint32_t ms) { return TVX_SetTimeOut(handle_, ms); }
    Result<uint32_t> timeout() const { return query<uint32_t>(TVX_GetTimeOut); }
    /* TVX_RESEND_FIXED, or TVX_RESEND_ADAPTIVE with its floor and cap in ms. */
    Result<void> setResendPolicy(int32_t policy, uint32_t floorMs = 1, uint32_t capMs = 1000) {
        return TVX_SetResendPolicy(handle_, policy, floorMs, capMs);
    }
    Result<ResendEstimate> resendEstimate() const {
        ResendEstimate e;
        if (int32_t r = TVX_GetResendEstimate(handle_, &e.firstWaitMs, &e.smoothedUs, &e.variationUs))
            return Result<ResendEstimate>::failure(r);
        return e;
    }
    float progress() const { return TVX_GetProgress(handle_); }
    uint8_t linkKind() const { return TVX_GetConnectType(handle_); }
    std::string address() const {
        const char* text = TVX_GetConnectString(handle_);
        return text ? text : "";
    }
    uint8_t axes() const { return TVX_GetAxises(handle_); }

    // Queries
    Result<uint8_t> state() const { return query<uint8_t>(TVX_GetState); }
    Result<uint8_t> stopPauseTask() const { return query<uint8_t>(TVX_GetStopPauseTaskid); }
    Result<int32_t> clientId() const { return query<int32_t>(TVX_GetClientId); }
    Result<int32_t> softId() const { return query<int32_t>(TVX_GetSoftId); }
    Result<int32_t> hardId() const { return query<int32_t>(TVX_GetHardId); }
    Result<int32_t> error() const { return query<int32_t>(TVX_GetError); }
    Result<int32_t> chipId() const { return query<int32_t>(TVX_GetChipId); }
    Result<std::string> ipAddress() const { return field<20>(TVX_GetCurIpAddr); }
    Result<std::string> mac() const { return field<14>(TVX_GetMac); }
    Result<SoftVersion> softVersion() const {
        SoftVersion v;
        std::array<char, 16> text{};
        if (int32_t r = TVX_GetSoftVersion(handle_, &v.version, text.data(), &v.date))
            return Result<SoftVersion>::failure(r);
        v.text = detail::fieldText(text);
        return v;
    }
    Result<TVX_SysSpecification> sysSpecification() const { return query<TVX_SysSpecification>(TVX_GetSysSpecification); }
    Result<TaskState> taskState(uint32_t task) const {
        TaskState t;
        std::array<char, 26> text{};
        if (int32_t r = TVX_GetTaskState(handle_, task, &t.state, &t.second, &t.word, &t.value, text.data()))
            return Result<TaskState>::failure(r);
        t.text = detail::fieldText(text);
        return t;
    }
    Result<TVX_ChildCard> childCard(uint32_t index) const { return query<TVX_ChildCard>(TVX_EnumChildCard, index); }
    Result<std::array<uint8_t, 17>> axisStates(uint32_t axis) const {
        std::array<uint8_t, 17> states{};
        if (int32_t r = TVX_GetAxisStates(handle_, axis, states.data())) return Result<std::array<uint8_t, 17>>::failure(r);
        return states;
    }
    Result<int32_t> axisFeatures(uint32_t axis) const { return query<int32_t>(TVX_GetAxisFeatures, axis); }
    Result<void> setAxisEnable(uint32_t axis, bool enable) { return TVX_SetAxisEnable(handle_, axis, enable ? 1 : 0); }

    // I/O
    Result<bool> input(uint32_t number) const { return flag(TVX_GetIn, number); }
    Result<bool> output(uint32_t number) const { return flag(TVX_GetOutput, number); }
    Result<void> setOutput(uint32_t number, bool on) { return TVX_SetOutput(handle_, number, on ? 1 : 0); }
    /* Bits first..last, bit 0 for `first`. */
    Result<uint32_t> inputs(uint32_t first, uint32_t last) const { return bits(TVX_GetInAll, first, last); }
    Result<uint32_t> outputs(uint32_t first, uint32_t last) const { return bits(TVX_GetOutAll, first, last); }
    Result<void> setOutputs(uint32_t first, uint32_t last, uint32_t bits) {
        return TVX_SetOutAll(handle_, first, last, static_cast<int32_t>(bits));
    }
    Result<float> analogIn(uint32_t channel) const { return query<float>(TVX_GetAIn, channel); }
    Result<float> analogOut(uint32_t channel) const { return query<float>(TVX_GetDaOut, channel); }
    Result<void> setAnalogOut(uint32_t channel, int32_t value) { return TVX_SetDaOut(handle_, channel, value); }

    // Text commands
    /* Runs a command and returns its whole answer (at most `capacity` bytes). */
    Result<std::string> execute(std::string_view command, uint32_t timeLimitMs = 5000, size_t capacity = 65536) {
        std::string answer(capacity + 1, '\0');
        if (int32_t r = TVX_Execute(handle_, detail::cstr(command).c_str(), timeLimitMs, answer.data(),
                                    detail::size32(capacity)))
            return Result<std::string>::failure(r);
        answer.resize(std::string_view(answer.c_str()).size());
        return answer;
    }
    Result<void> executeNoAck(std::string_view command, uint32_t timeLimitMs = 5000) {
        return TVX_ExecuteNoAck(handle_, detail::cstr(command).c_str(), timeLimitMs);
    }
    Result<void> waitDone(uint32_t timeLimitMs = 5000) { return TVX_ExecuteWaitDown(handle_, timeLimitMs); }
    Result<Received> receive(size_t capacity = 4096) {
        Received got;
        got.text.resize(capacity);
        uint32_t length = 0;
        uint8_t done = 0;
        if (int32_t r = TVX_ExecuteGetReceive(handle_, got.text.data(), detail::size32(capacity), &length, &done))
            return Result<Received>::failure(r);
        got.text.resize(length);
        got.done = done != 0;
        return got;
    }
    Result<std::string> directCommand(std::string_view command, size_t capacity = 2048) {
        std::string answer(capacity + 1, '\0');
        if (int32_t r = TVX_DirectCommand(handle_, detail::cstr(command).c_str(), answer.data(),
                                          detail::size32(capacity)))
            return Result<std::string>::failure(r);
        answer.resize(std::string_view(answer.c_str()).size());
        return answer;
    }

    // Files
    Result<void> put(std::string_view localPath, std::string_view name) {
        return TVX_DownFile(handle_, detail::cstr(localPath).c_str(), detail::cstr(name).c_str());
    }
    Result<void> put(std::span<const uint8_t> data, std::string_view name) {
        return TVX_DownMemFile(handle_, data.data(), detail::size32(data.size()), detail::cstr(name).c_str());
    }
    Result<void> get(std::string_view name, std::string_view localPath) {
        return TVX_UpFile(handle_, detail::cstr(localPath).c_str(), detail::cstr(name).c_str());
    }
    /* Into the caller's buffer: the count of bytes received. */
    Result<size_t> get(std::string_view name, std::span<uint8_t> buffer) {
        uint32_t received = 0;
        if (int32_t r = TVX_UpFileToMem(handle_, buffer.data(), detail::size32(buffer.size()),
                                        detail::cstr(name).c_str(), &received))
            return Result<size_t>::failure(r);
        return received;
    }
    /* A whole file of at most `capacity` bytes (TVX_ERR_BUFFER_TOO_SMALL beyond). */
    Result<std::vector<uint8_t>> getBytes(std::string_view name, size_t capacity = size_t{4} << 20) {
        std::vector<uint8_t> data(capacity);
        Result<size_t> n = get(name, std::span<uint8_t>(data));
        if (!n) return Result<std::vector<uint8_t>>::failure(n.code());
        data.resize(*n);
        return data;
    }
    Result<std::vector<FileEntry>> files() { return listing(TVX_FindFirstFile, TVX_FindNextFile); }
    /* The state text of file slot `selector` (26 characters at most). */
    Result<std::string> fileState(uint16_t selector) const {
        std::array<char, 26> text{};
        if (int32_t r = TVX_GetFileState(handle_, selector, text.data())) return Result<std::string>::failure(r);
        return detail::fieldText(text);
    }
    /* The controller's log, into a local file or into memory. */
    Result<void> getLog(std::string_view localPath) { return TVX_UpLog(handle_, detail::cstr(localPath).c_str()); }
    Result<std::vector<uint8_t>> getLogBytes(size_t capacity = size_t{4} << 20) {
        return upload(capacity, [&](void* b, uint32_t n, uint32_t* got) { return TVX_UpLogToMem(handle_, b, n, got); });
    }
    /* A firmware file of the controller, into a local file or into memory. */
    Result<void> getFirmwareFile(std::string_view name, std::string_view localPath) {
        return TVX_UpFirmFile(handle_, detail::cstr(localPath).c_str(), detail::cstr(name).c_str());
    }
    Result<std::vector<uint8_t>> getFirmwareBytes(std::string_view name, size_t capacity = size_t{4} << 20) {
        return upload(capacity, [&](void* b, uint32_t n, uint32_t* got) {
            return TVX_UpFirmToMem(handle_, b, n, detail::cstr(name).c_str(), got);
        });
    }
    Result<void> remove(std::string_view name) { return TVX_DeleteFile(handle_, detail::cstr(name).c_str()); }
    Result<void> flashWrite(uint16_t table, std::span<const float> values) {
        return TVX_FlashWritef(handle_, table, detail::size32(values.size()), values.data());
    }
    /* The count of values read into `values`. */
    Result<size_t> flashRead(uint16_t table, std::span<float> values) {
        uint32_t read = 0;
        if (int32_t r = TVX_FlashReadf(handle_, table, detail::size32(values.size()), values.data(), &read))
            return Result<size_t>::failure(r);
        return read;
    }

    // Programs
    /* Builds the archive of a project text file (.npj) and its files and
     * runs it from RAM at once. */
    Result<void> runProject(std::string_view npjPath, std::string_view password = {}, uint32_t word = 0) {
        Result<Project> p = loadProject(npjPath);
        if (!p) return p.code();
        return runProject(*p, password, word);
    }
    Result<void> runProject(Project& p, std::string_view password = {}, uint32_t word = 0) {
        return TVX_MakeNarAndRamRun2(handle_, p.record.data(), p.directory.data(), detail::Password(password).get(),
                                     word);
    }
    /* The same, stored on the controller as its current project. */
    Result<void> storeProject(std::string_view npjPath, std::string_view password = {}, uint32_t word = 0) {
        Result<Project> p = loadProject(npjPath);
        if (!p) return p.code();
        return storeProject(*p, password, word);
    }
    Result<void> storeProject(Project& p, std::string_view password = {}, uint32_t word = 0) {
        return TVX_MakeNarAndDown2(handle_, p.record.data(), p.directory.data(), detail::Password(password).get(),
                                   word);
    }
    /* From a stored project record file (.prj) and its member files. */
    Result<void> runRecordFile(std::string_view prjPath, std::string_view password = {}, uint32_t word = 0) {
        return TVX_MakeNarAndRamRun(handle_, detail::cstr(prjPath).c_str(), detail::Password(password).get(), word);
    }
    Result<void> storeRecordFile(std::string_view prjPath, std::string_view password = {}, uint32_t word = 0) {
        return TVX_MakeNarAndDown(handle_, detail::cstr(prjPath).c_str(), detail::Password(password).get(), word);
    }
    /* The controller's current project record. */
    Result<std::vector<uint8_t>> currentProject() {
        return upload(TVX_PROJECT_RECORD_MAX_BYTES,
                      [&](void* b, uint32_t n, uint32_t* got) { return TVX_UpCurNpjToMem(handle_, b, n, got); });
    }
    Result<void> downNar(std::string_view archivePath, std::string_view name) {
        return TVX_DownNar(handle_, detail::cstr(archivePath).c_str(), detail::cstr(name).c_str());
    }
    Result<void> downNar(std::span<const uint8_t> archive, std::string_view name) {
        return TVX_DownMemNar(handle_, archive.data(), detail::size32(archive.size()), detail::cstr(name).c_str());
    }
    /* Downloads an archive file, or one in memory, to RAM and runs it. */
    Result<void> runNar(std::string_view archivePath) {
        return TVX_DownNarToRamAndRun(handle_, detail::cstr(archivePath).c_str());
    }
    Result<void> runNar(std::span<const uint8_t> archive) {
        return TVX_DownMemNarToRamAndRun(handle_, archive.data(), detail::size32(archive.size()));
    }
    /* Runs one stored program. */
    Result<void> run(std::string_view program) { return TVX_RunNarFile(handle_, detail::cstr(program).c_str()); }
    Result<void> resume() { return TVX_Resume(handle_); }
    Result<void> pause() { return TVX_Pause(handle_); }
    Result<void> stop() { return TVX_Stop(handle_); }

    // Remote LCD and camera images
    /* The whole screen of LCD `lcd`; a session is opened and closed around
     * the fetch. `rgb565` converts colours from 5-5-5 to 5-6-5. */
    Result<Image> lcdScreen(uint32_t lcd = 0, bool rgb565 = false) {
        TVX_LcdScreen screen{};
        if (int32_t r = TVX_ELcdOpen(handle_, lcd, &screen.info)) return Result<Image>::failure(r);
        Image image;
        image.width = screen.info.width;
        image.height = screen.info.height;
        if (image.width > 0 && image.height > 0 && image.width <= UINT16_MAX && image.height <= UINT16_MAX) {
            image.pixels.resize(static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
            screen.regions.count = 1;
            screen.regions.regions[0] = {0, 0, static_cast<uint16_t>(image.width), static_cast<uint16_t>(image.height)};
        }
        const int32_t r = rgb565 ? TVX_ELcdDataGetAll2(handle_, lcd, &screen, image.pixels.data())
                                 : TVX_ELcdDataGetAll(handle_, lcd, &screen, image.pixels.data());
        TVX_ELcdClose(handle_, lcd);
        if (r != TVX_OK) return Result<Image>::failure(r);
        return image;
    }
    /* Camera image `number` of the vision module. */
    Result<Image> cameraImage(uint16_t number = 0, bool rgb565 = false) {
        Image image;
        if (int32_t r = TVX_NVLatinImgGetInfo(handle_, number, &image.width, &image.height, nullptr, nullptr))
            return Result<Image>::failure(r);
        if (image.width <= 0 || image.height <= 0) return Result<Image>::failure(TVX_ERR_REPLY_LENGTH);
        const size_t count = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
        if (count > INT32_MAX / 2) return Result<Image>::failure(TVX_ERR_REPLY_LENGTH);
        image.pixels.resize(count);
        const int32_t bytes = static_cast<int32_t>(count * 2);
        const int32_t r =
            rgb565 ? TVX_NVLatinImgGet2(handle_, number, &image.width, &image.height, nullptr, image.pixels.data(), bytes)
                   : TVX_NVLatinImgGet(handle_, number, &image.width, &image.height, nullptr, image.pixels.data(), bytes);
        if (r != TVX_OK) return Result<Image>::failure(r);
        image.pixels.resize(static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
        return image;
    }


    // Maintenance
    Result<StackState> taskStackState(uint32_t task, uint32_t level) const {
        StackState s;
        std::array<char, 23> text{};
        if (int32_t r = TVX_GetTaskStackState(handle_, task, level, &s.byte, &s.value, text.data()))
            return Result<StackState>::failure(r);
        s.text = detail::fieldText(text);
        return s;
    }
    Result<void> lowFormatNand(int32_t value) { return TVX_LowFormatNand(handle_, value); }
    Result<void> returnDefault(int32_t value) { return TVX_ReturnDefault(handle_, value); }
    Result<void> resetController() { return TVX_ResetController(handle_); }
    Result<void> clearLog() { return TVX_ClearLog(handle_); }
    Result<void> setMac(std::string_view text) { return TVX_SetMac(handle_, detail::cstr(text).c_str()); }

    // Serial link settings
    /* Station address of this handle's frames (0 means 254). */
    Result<void> setStation(uint8_t station) { return TVX_SetComCurID(handle_, station); }
    /* Moves the controller's and the local port's line to `baud` until closed. */
    Result<void> changeBaud(uint32_t baud) { return TVX_TempModBaud(handle_, baud); }

    /* Free bytes of the controller's command buffer (0 when the request fails). */
    Result<uint32_t> commandBufferSpace() const {
        if (!handle_) return Result<uint32_t>::failure(TVX_ERR_INVALID_HANDLE);
        return TVX_ExecuteGetRemainBuffSpace(handle_);
    }

    // Modbus coils and holding registers
    Result<std::vector<bool>> readCoils(uint16_t start, uint16_t count) const {
        std::vector<uint8_t> packed((count + 7u) / 8u);
        if (int32_t r = TVX_Modbus_Get0x(handle_, start, count, packed.data()))
            return Result<std::vector<bool>>::failure(r);
        std::vector<bool> bits(count);
        for (size_t i = 0; i < count; ++i) bits[i] = (packed[i / 8] >> (i % 8)) & 1u;
        return bits;
    }
    Result<void> writeCoils(uint16_t start, const std::vector<bool>& bits) {
        if (bits.size() > UINT16_MAX) return TVX_ERR_BAD_ARGUMENT;
        std::vector<uint8_t> packed((bits.size() + 7) / 8);
        for (size_t i = 0; i < bits.size(); ++i)
            if (bits[i]) packed[i / 8] = static_cast<uint8_t>(packed[i / 8] | (1u << (i % 8)));
        return TVX_Modbus_Set0x(handle_, start, static_cast<uint16_t>(bits.size()), packed.data());
    }
    Result<std::vector<uint16_t>> readRegisters(uint16_t start, uint16_t count) const {
        std::vector<uint16_t> words(count);
        if (int32_t r = TVX_Modbus_Get4x(handle_, start, count, words.data()))
            return Result<std::vector<uint16_t>>::failure(r);
        return words;
    }
    Result<void> writeRegisters(uint16_t start, std::span<const uint16_t> words) {
        if (words.size() > UINT16_MAX) return TVX_ERR_BAD_ARGUMENT;
        return TVX_Modbus_Set4x(handle_, start, static_cast<uint16_t>(words.size()), words.data());
    }
    /* 32-bit values as two registers each, low word first. */
    Result<std::vector<uint32_t>> readLongs(uint16_t start, uint16_t count) const {
        std::vector<uint32_t> values(count);
        if (int32_t r = TVX_Modbus_GetLong(handle_, start, count, values.data()))
            return Result<std::vector<uint32_t>>::failure(r);
        return values;
    }
    Result<void> writeLongs(uint16_t start, std::span<const uint32_t> values) {
        if (values.size() > UINT16_MAX) return TVX_ERR_BAD_ARGUMENT;
        return TVX_Modbus_SetLong(handle_, start, static_cast<uint16_t>(values.size()), values.data());
    }
    Result<std::vector<float>> readFloats(uint16_t start, uint16_t count) const {
        std::vector<uint32_t> raw(count);
        if (int32_t r = TVX_Modbus_GetIEEE(handle_, start, count, raw.data()))
            return Result<std::vector<float>>::failure(r);
        std::vector<float> values(count);
        for (size_t i = 0; i < count; ++i) values[i] = std::bit_cast<float>(raw[i]);
        return values;
    }
    Result<void> writeFloats(uint16_t start, std::span<const float> values) {
        if (values.size() > UINT16_MAX) return TVX_ERR_BAD_ARGUMENT;
        std::vector<uint32_t> raw(values.size());
        for (size_t i = 0; i < values.size(); ++i) raw[i] = std::bit_cast<uint32_t>(values[i]);
        return TVX_Modbus_SetIEEE(handle_, start, static_cast<uint16_t>(values.size()), raw.data());
    }
    /* A named register area ("MODBUS_REG", "VR", "TABLE", "X", ...): `count`
     * elements of `widthBits` packed as the controller stores them,
     * (count x widthBits + 7) / 8 bytes. */
    Result<std::vector<uint8_t>> readArea(std::string_view area, uint8_t widthBits, uint32_t start,
                                          uint16_t count) const {
        std::vector<uint8_t> data(areaBytes(widthBits, count));
        if (int32_t r = TVX_RegisterRead(handle_, detail::cstr(area).c_str(), widthBits, start, count, data.data()))
            return Result<std::vector<uint8_t>>::failure(r);
        return data;
    }
    Result<void> writeArea(std::string_view area, uint8_t widthBits, uint32_t start, uint16_t count,
                           std::span<const uint8_t> data) {
        if (data.size() < areaBytes(widthBits, count)) return TVX_ERR_BAD_ARGUMENT;
        return TVX_RegisterWrite(handle_, detail::cstr(area).c_str(), widthBits, start, count, data.data());
    }

    // Arrays, variables and line moves
    Result<std::vector<float>> readArray(std::string_view name, uint32_t start, uint32_t count) const {
        std::vector<float> values(count);
        if (int32_t r = TVX_ArrayReadf(handle_, detail::cstr(name).c_str(), start, count, values.data()))
            return Result<std::vector<float>>::failure(r);
        return values;
    }
    Result<void> writeArray(std::string_view name, uint32_t start, std::span<const float> values) {
        return TVX_ArrayWritef(handle_, detail::cstr(name).c_str(), start, detail::size32(values.size()),
                               values.data());
    }
    Result<float> variable(std::string_view name) const {
        float value = 0;
        if (int32_t r = TVX_GlobalVarGet(handle_, detail::cstr(name).c_str(), &value)) return Result<float>::failure(r);
        return value;
    }
    Result<float> arrayElement(std::string_view name, int32_t index) const {
        float value = 0;
        if (int32_t r = TVX_GlobalArrayGet(handle_, detail::cstr(name).c_str(), index, &value))
            return Result<float>::failure(r);
        return value;
    }
    /* Feeds `lineCount` points over `axes`; `values` holds lineCount x
     * axes.size() floats, point by point. The controller's remaining count. */
    Result<int32_t> moveLines(int32_t mode, int32_t flags, uint32_t lineCount, std::span<const int32_t> axes,
                              std::span<const float> values) {
        if (values.size() < static_cast<size_t>(lineCount) * axes.size()) return Result<int32_t>::failure(TVX_ERR_BAD_ARGUMENT);
        int32_t remaining = 0;
        if (int32_t r = TVX_MultiLineN(handle_, mode, flags, lineCount, detail::size32(axes.size()),
                                       axes.empty() ? nullptr : axes.data(), values.data(), &remaining))
            return Result<int32_t>::failure(r);
        return remaining;
    }

    // Debugger and locks
    Result<LocalVariable> localVariable(int32_t selector, uint32_t subSelector, uint32_t index) const {
        LocalVariable v;
        std::vector<char> name(2023, '\0');
        if (int32_t r = TVX_EnumLocal(handle_, selector, subSelector, index, &v.value, v.extra.data(), name.data()))
            return Result<LocalVariable>::failure(r);
        v.name = detail::untilNul(name);
        return v;
    }
    Result<void> addBreakpoint(std::string_view file, uint32_t line, uint32_t option = 0) {
        return TVX_BreakAdd(handle_, detail::cstr(file).c_str(), line, option);
    }
    Result<void> removeBreakpoint(std::string_view file, uint32_t line) {
        return TVX_BreakDel(handle_, detail::cstr(file).c_str(), line);
    }
    Result<void> clearBreakpoints() { return TVX_BreakClear(handle_); }
    Result<void> step(uint32_t first, uint32_t second, uint32_t third, uint32_t fourth, int32_t fifth) {
        return TVX_StepRun(handle_, first, second, third, fourth, fifth);
    }
    /* Leaves online debugging. */
    Result<void> cancelOnline() { return TVX_CancelOnline(handle_); }
    Result<NameType> nameType(std::string_view name, uint32_t selector = 0) const {
        NameType n;
        if (int32_t r = TVX_GetStringType(handle_, detail::cstr(name).c_str(), selector, &n.type, &n.second,
                                          n.third.data()))
            return Result<NameType>::failure(r);
        return n;
    }
    /* Drains the controller's print output (at most `capacity` bytes now). */
    Result<std::string> readMessages(size_t capacity = 65536) {
        std::string text(capacity, '\0');
        uint32_t received = 0;
        if (int32_t r = TVX_ReadMessage(handle_, text.data(), detail::size32(capacity), &received))
            return Result<std::string>::failure(r);
        text.resize(received);
        return text;
    }
    /* The controller's user lock (password at most 15 characters). */
    Result<void> lock(std::string_view password) { return TVX_Lock(handle_, detail::cstr(password).c_str()); }
    Result<void> unlock(std::string_view password) { return TVX_UnLock(handle_, detail::cstr(password).c_str()); }
    /* The host-side lock of the handle for threads that share it; the text
     * command calls take it too. Prefer the HostLock guard below. */
    Result<void> acquireHostLock() { return TVX_Signal_BasicP(handle_); }
    Result<void> releaseHostLock() { return TVX_Signal_BasicV(handle_); }

    // Firmware
    Result<void> checkFirmware(std::string_view imagePath) {
        return TVX_CheckFirmWare(handle_, detail::cstr(imagePath).c_str());
    }
    Result<void> downloadFirmware(std::string_view imagePath) {
        return TVX_DownFirmWare(handle_, detail::cstr(imagePath).c_str());
    }
    Result<void> startHardwareTest() { return TVX_StartHardwareTest(handle_); }
    /* Starts the application firmware / enters the boot loader. */
    Result<void> jumpToApplication() { return TVX_JumpApp(handle_); }
    Result<void> jumpToBootLoader() { return TVX_JumpNbios(handle_); }

    // The three-file store
    /* The controller's value for `name`, or nullopt when it is missing. */
    Result<std::optional<uint32_t>> storeCheck(std::string_view name) const {
        uint8_t exists = 0;
        uint32_t value = 0;
        if (int32_t r = TVX_Check3File(handle_, detail::cstr(name).c_str(), &exists, &value))
            return Result<std::optional<uint32_t>>::failure(r);
        return exists ? std::optional<uint32_t>(value) : std::nullopt;
    }
    Result<std::vector<FileEntry>> storeFiles() { return listing(TVX_FindFirst3File, TVX_FindNext3File); }
    Result<FileEntry> storeCurrent() const {
        std::vector<char> name(2035, '\0');
        uint32_t size = 0;
        if (int32_t r = TVX_GetCur3File(handle_, name.data(), &size)) return Result<FileEntry>::failure(r);
        return FileEntry{detail::untilNul(name), size};
    }
    Result<void> storeRemove(std::string_view name) { return TVX_Delete3File(handle_, detail::cstr(name).c_str()); }
    Result<void> storeClear() { return TVX_RemoveAll3Files(handle_); }
    Result<void> storePut(std::string_view localPath, std::string_view name) {
        return TVX_Down3File(handle_, detail::cstr(localPath).c_str(), detail::cstr(name).c_str());
    }
    Result<void> storePut(std::span<const uint8_t> data, std::string_view name) {
        return TVX_DownMem3File(handle_, data.data(), detail::size32(data.size()), detail::cstr(name).c_str());
    }
    Result<void> storeGet(std::string_view name, std::string_view localPath) {
        return TVX_Up3File(handle_, detail::cstr(localPath).c_str(), detail::cstr(name).c_str());
    }
    Result<std::vector<uint8_t>> storeGetBytes(std::string_view name, size_t capacity = size_t{4} << 20) {
        return upload(capacity, [&](void* b, uint32_t n, uint32_t* got) {
            return TVX_Up3FileToMem(handle_, b, n, detail::cstr(name).c_str(), got);
        });
    }
    /* RAM download: whole files, or begin / parts / end; then run. */
    Result<void> ramPut(std::string_view localPath, std::string_view name, int32_t number) {
        return TVX_Down3FileRam(handle_, detail::cstr(localPath).c_str(), detail::cstr(name).c_str(), number);
    }
    Result<void> ramPut(std::span<const uint8_t> data, std::string_view name, int32_t number) {
        return TVX_DownMem3FileRam(handle_, data.data(), detail::size32(data.size()), detail::cstr(name).c_str(),
                                   number);
    }
    Result<uint32_t> ramSpace(uint16_t value = 0) const { return query<uint32_t>(TVX_3FileRamGetRemainSpace, value); }
    Result<uint32_t> ramBegin(uint16_t fileNumber, uint32_t announced, std::string_view name = {}) {
        uint32_t answer = 0;
        const std::string text(name);
        if (int32_t r = TVX_3FileRamDownBegin(handle_, fileNumber, announced, name.empty() ? nullptr : text.c_str(),
                                              &answer))
            return Result<uint32_t>::failure(r);
        return answer;
    }
    Result<uint32_t> ramPart(uint16_t fileNumber, std::span<const uint8_t> data) {
        uint32_t answer = 0;
        if (int32_t r = TVX_3FileRamDownPart(handle_, fileNumber, data.data(), detail::size32(data.size()), &answer))
            return Result<uint32_t>::failure(r);
        return answer;
    }
    Result<void> ramEnd(uint16_t fileNumber) { return TVX_3FileRamDownEnd(handle_, fileNumber); }
    Result<void> ramRun(uint16_t first, uint16_t second) { return TVX_Run3FileRam(handle_, first, second); }

    // Cycle upload and auto-upload
    /* Starts upload `buffer` (0..255) of the items of `items` ("VR(0), DPOS(0)"),
     * pushed every `cycleMs`. */
    Result<void> cycleEnable(int32_t buffer, uint32_t cycleMs, std::string_view items) {
        return TVX_CycleUpEnable(handle_, buffer, cycleMs, detail::cstr(items).c_str());
    }
    /* -1: every buffer. */
    Result<void> cycleDisable(int32_t buffer) { return TVX_CycleUpDisable(handle_, buffer); }
    Result<void> cycleForce(int32_t buffer) { return TVX_CycleUpForceOnce(handle_, buffer); }
    /* Blocks received since the buffer was enabled (0 when not active). */
    Result<uint32_t> cycleBlocks(int32_t buffer) const {
        if (!handle_) return Result<uint32_t>::failure(TVX_ERR_INVALID_HANDLE);
        return TVX_CycleUpGetRecvTimes(handle_, buffer);
    }
    Result<double> cycleValue(int32_t buffer, std::string_view item, uint32_t index = 0) const {
        double value = 0;
        if (int32_t r = TVX_CycleUpReadBuff(handle_, buffer, detail::cstr(item).c_str(), index, &value))
            return Result<double>::failure(r);
        return value;
    }
    Result<int32_t> cycleInt(int32_t buffer, std::string_view item, uint32_t index = 0) const {
        int32_t value = 0;
        if (int32_t r = TVX_CycleUpReadBuffInt(handle_, buffer, detail::cstr(item).c_str(), index, &value))
            return Result<int32_t>::failure(r);
        return value;
    }
    /* Text the controller pushes (a running program's output) goes to
     * `callback` on the link's receive thread; nullptr stops it. */
    Result<void> setAutoUpload(TVX_AutoUpCallback callback) { return TVX_SetAutoUpCallBack(handle_, callback); }

    // Remote LCD, piece by piece (lcdScreen above fetches a whole screen)
    Result<void> lcdSetFeatures(uint16_t a, uint16_t b, uint16_t c) { return TVX_ELcdSetFeature(handle_, a, b, c); }
    Result<TVX_LcdScreenInfo> lcdOpen(uint32_t lcd) { return query<TVX_LcdScreenInfo>(TVX_ELcdOpen, lcd); }
    Result<void> lcdClose(uint32_t lcd) { return TVX_ELcdClose(handle_, lcd); }
    Result<LcdChanges> lcdCheck(uint32_t lcd) {
        LcdChanges changes;
        if (int32_t r = TVX_ELcdDataCheck(handle_, lcd, &changes.regions, &changes.info))
            return Result<LcdChanges>::failure(r);
        return changes;
    }
    /* One chunk as it came. */
    Result<LcdChunk> lcdFetchRaw(uint32_t lcd, uint32_t region, uint32_t position) {
        LcdChunk chunk;
        TVX_LcdRawChunk raw{};
        if (int32_t r = TVX_ELcdDataGet(handle_, lcd, region, position, &chunk.next, &raw, nullptr, nullptr))
            return Result<LcdChunk>::failure(r);
        chunk.kind = raw.kind;
        const size_t n = raw.length > 0 ? static_cast<size_t>(raw.length) : 0;
        chunk.data.assign(raw.data, raw.data + (n < sizeof raw.data ? n : sizeof raw.data));
        return chunk;
    }
    /* One chunk painted into `pixels` (width x height of `screen`); the
     * position to ask next. */
    Result<uint32_t> lcdFetch(uint32_t lcd, uint32_t region, uint32_t position, const TVX_LcdScreen& screen,
                              std::span<uint16_t> pixels, bool rgb565 = false) {
        if (!fits(screen, pixels)) return Result<uint32_t>::failure(TVX_ERR_BAD_ARGUMENT);
        uint32_t next = 0;
        const int32_t r = rgb565 ? TVX_ELcdDataGet2(handle_, lcd, region, position, &next, nullptr, &screen, pixels.data())
                                 : TVX_ELcdDataGet(handle_, lcd, region, position, &next, nullptr, &screen, pixels.data());
        if (r != TVX_OK) return Result<uint32_t>::failure(r);
        return next;
    }
    Result<void> lcdEnd(uint32_t lcd) { return TVX_ELcdDataGetEnd(handle_, lcd); }
    /* Checks which regions changed (stored in `screen`) and fetches them. */
    Result<void> lcdRefresh(uint32_t lcd, TVX_LcdScreen& screen, std::span<uint16_t> pixels, bool rgb565 = false) {
        if (!fits(screen, pixels)) return TVX_ERR_BAD_ARGUMENT;
        return rgb565 ? TVX_ELcdDataCheckAndGetAll2(handle_, lcd, &screen, pixels.data())
                      : TVX_ELcdDataCheckAndGetAll(handle_, lcd, &screen, pixels.data());
    }
    /* Fetches every region of `screen`; `onProgress` before every `every`-th
     * continuation fetch. */
    Result<void> lcdFetchAll(uint32_t lcd, const TVX_LcdScreen& screen, std::span<uint16_t> pixels,
                             bool rgb565 = false, int32_t every = 0, TVX_LcdProgressCallback onProgress = nullptr) {
        if (!fits(screen, pixels)) return TVX_ERR_BAD_ARGUMENT;
        return rgb565 ? TVX_ELcdDataGetAll2WithEvents(handle_, lcd, &screen, pixels.data(), every, onProgress)
                      : TVX_ELcdDataGetAllWithEvents(handle_, lcd, &screen, pixels.data(), every, onProgress);
    }
    Result<void> lcdTouch(uint32_t lcd, int32_t action, uint16_t x, uint16_t y) {
        return TVX_ELcdMouseSet(handle_, lcd, action, x, y);
    }
    Result<void> lcdTouch(uint32_t lcd, int32_t action, uint16_t x, uint16_t y, uint16_t extra) {
        return TVX_ELcdMouseSet2(handle_, lcd, action, x, y, extra);
    }
    Result<void> lcdKey(uint32_t lcd, uint16_t key, int32_t state) { return TVX_ELcdKeySet(handle_, lcd, key, state); }
    Result<void> lcdVirtualKey(uint32_t lcd, uint16_t key, int32_t state) {
        return TVX_ELcdVKeySet(handle_, lcd, key, state);
    }
    Result<void> lcdEncoder(uint16_t a, uint16_t b, int32_t c, int32_t d) { return TVX_ELcdCoderSet(handle_, a, b, c, d); }

private:
    void reset() noexcept {
        if (handle_) TVX_Close(std::exchange(handle_, nullptr));
    }
    template <class Open>
    static Result<Controller> adopt(Open open) {
        TVX_HANDLE h = nullptr;
        if (int32_t r = open(&h)) return Result<Controller>::failure(r);
        return Controller(h);
    }
    static size_t areaBytes(uint8_t widthBits, uint16_t count) {
        return (static_cast<size_t>(count) * widthBits + 7) / 8;
    }
    static bool fits(const TVX_LcdScreen& screen, std::span<const uint16_t> pixels) {
        const TVX_LcdScreenInfo& i = screen.info;
        return i.width > 0 && i.height > 0 &&
               pixels.size() >= static_cast<size_t>(i.width) * static_cast<size_t>(i.height);
    }
    template <class First, class Next>
    Result<std::vector<FileEntry>> listing(First first, Next next) {
        std::vector<char> name(2035, '\0');
        uint32_t size = 0;
        std::vector<FileEntry> entries;
        int32_t r = first(handle_, name.data(), &size);
        // The bound keeps a listing that never ends from looping forever.
        while (r == TVX_OK && name[0] != '\0' && entries.size() < 100000) {
            entries.push_back({detail::untilNul(name), size});
            name[0] = '\0';
            r = next(handle_, name.data(), &size);
        }
        if (r != TVX_OK) return Result<std::vector<FileEntry>>::failure(r);
        return entries;
    }
    template <class Up>
    Result<std::vector<uint8_t>> upload(size_t capacity, Up up) {
        std::vector<uint8_t> data(capacity);
        uint32_t received = 0;
        if (int32_t r = up(data.data(), detail::size32(data.size()), &received))
            return Result<std::vector<uint8_t>>::failure(r);
        data.resize(received);
        return data;
    }
    template <class T, class F, class... A>
    Result<T> query(F function, A... args) const {
        T out{};
        if (int32_t r = function(handle_, args..., &out)) return Result<T>::failure(r);
        return out;
    }
    template <size_t N, class F>
    Result<std::string> field(F function) const {
        std::array<char, N> field{};
        if (int32_t r = function(handle_, field.data())) return Result<std::string>::failure(r);
        return detail::fieldText(field);
    }
    template <class F>
    Result<bool> flag(F function, uint32_t number) const {
        Result<uint8_t> r = query<uint8_t>(function, number);
        if (!r) return Result<bool>::failure(r.code());
        return *r != 0;
    }
    template <class F>
    Result<uint32_t> bits(F function, uint32_t first, uint32_t last) const {
        Result<int32_t> r = query<int32_t>(function, first, last);
        if (!r) return Result<uint32_t>::failure(r.code());
        return static_cast<uint32_t>(*r);
    }

    TVX_HANDLE handle_ = nullptr;
};

/* Holds a controller's host-side lock for its lifetime (TVX_Signal_BasicP
 * and BasicV): other threads' text commands on the handle wait meanwhile.
 * Release it before closing the controller. */
class HostLock {
public:
    explicit HostLock(Controller& controller) : controller_(controller) { controller_.acquireHostLock().value(); }
    ~HostLock() { (void)controller_.releaseHostLock(); }
    HostLock(const HostLock&) = delete;
    HostLock& operator=(const HostLock&) = delete;

private:
    Controller& controller_;
};

}  // namespace tavrix

#endif /* C++20 */
#endif /* TAVRIX_HPP */
