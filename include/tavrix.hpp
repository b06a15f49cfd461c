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
 * Adding a wrapper for a new export: one member calling it through call()
 * or query<T>() below.
 */
#ifndef TAVRIX_HPP
#define TAVRIX_HPP

#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tavrix.h"

namespace tavrix {

/* Text for any result code (never null). */
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
    T&& value() && {
        if (!ok()) throw Error(code_);
        return std::move(value_);
    }
    T value_or(T fallback) const& { return ok() ? value_ : std::move(fallback); }
    /* Unchecked access, for after a test of ok(). */
    T& operator*() & noexcept { return value_; }
    const T& operator*() const& noexcept { return value_; }
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
}  // namespace detail

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

/* Builds a program archive file from a project text file (.npj). */
inline Result<void> makeNar(std::string_view npjPath, std::string_view archivePath, std::string_view password = {},
                            uint32_t word = 0) {
    Result<Project> p = loadProject(npjPath);
    if (!p) return p.code();
    return TVX_MakeNar2(p->record.data(), p->directory.data(), detail::cstr(archivePath).c_str(),
                        detail::Password(password).get(), word);
}

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

    static Result<Controller> open(std::string_view address, int32_t kind = TVX_LINK_ETHERNET) {
        TVX_HANDLE h = nullptr;
        if (int32_t r = TVX_Open(kind, detail::cstr(address).c_str(), &h)) return Result<Controller>::failure(r);
        return Controller(h);
    }
    /* Without the transfer probe, with `timeoutMs` as the budget from the start. */
    static Result<Controller> fastOpen(std::string_view address, uint32_t timeoutMs,
                                       int32_t kind = TVX_LINK_ETHERNET) {
        TVX_HANDLE h = nullptr;
        if (int32_t r = TVX_FastOpen(kind, detail::cstr(address).c_str(), timeoutMs, &h))
            return Result<Controller>::failure(r);
        return Controller(h);
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
    Result<std::vector<FileEntry>> files() {
        std::vector<char> name(2035, '\0');
        uint32_t size = 0;
        std::vector<FileEntry> entries;
        int32_t r = TVX_FindFirstFile(handle_, name.data(), &size);
        // The bound keeps a listing that never ends from looping forever.
        while (r == TVX_OK && name[0] != '\0' && entries.size() < 100000) {
            entries.push_back({std::string(name.data()), size});
            name[0] = '\0';
            r = TVX_FindNextFile(handle_, name.data(), &size);
        }
        if (r != TVX_OK) return Result<std::vector<FileEntry>>::failure(r);
        return entries;
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
        return TVX_MakeNarAndRamRun2(handle_, p->record.data(), p->directory.data(), detail::Password(password).get(),
                                     word);
    }
    /* The same, stored on the controller as its current project. */
    Result<void> storeProject(std::string_view npjPath, std::string_view password = {}, uint32_t word = 0) {
        Result<Project> p = loadProject(npjPath);
        if (!p) return p.code();
        return TVX_MakeNarAndDown2(handle_, p->record.data(), p->directory.data(), detail::Password(password).get(),
                                   word);
    }
    Result<void> downNar(std::string_view archivePath, std::string_view name) {
        return TVX_DownNar(handle_, detail::cstr(archivePath).c_str(), detail::cstr(name).c_str());
    }
    /* Downloads an archive file to RAM and runs it. */
    Result<void> runNar(std::string_view archivePath) {
        return TVX_DownNarToRamAndRun(handle_, detail::cstr(archivePath).c_str());
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

private:
    void reset() noexcept {
        if (handle_) TVX_Close(std::exchange(handle_, nullptr));
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

}  // namespace tavrix

#endif /* TAVRIX_HPP */
