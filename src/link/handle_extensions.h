// State that the layers above the link keep per handle (the cycle-upload
// buffers, the LCD session). The record holds one pointer per extension;
// the owning layer creates its state when it first needs it and installs,
// once at library load, the function that frees it when the record is
// destroyed. The link never looks inside.
#pragma once

#include <atomic>
#include <cstdint>

namespace tvx {

struct ControllerHandle;

enum class Extension : uint8_t { cycleUpload, display, count };
inline constexpr int kExtensionCount = static_cast<int>(Extension::count);

using ExtensionRelease = void (*)(void* state);

// Installs the function that frees an extension's state (at load).
void setExtensionRelease(Extension e, ExtensionRelease release);

// The extension's state, or null when not created yet.
void* extensionState(const ControllerHandle& h, Extension e);
// Installs `state` unless another thread installed one first; returns the
// state in place (the caller frees its own when it lost the race).
void* installExtensionState(ControllerHandle& h, Extension e, void* state);
// Frees every extension's state of the record (record destruction).
void releaseExtensions(ControllerHandle& h);

}  // namespace tvx
