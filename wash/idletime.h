#pragma once

#include <cstdint>
#include <memory>
#include <optional>

/// How long the desktop session has had no keyboard or mouse input, as the platform tells it.
class IdleTimeSource {
public:
    virtual ~IdleTimeSource() = default;
    /// Milliseconds since the last input; empty when the platform could not be asked this time.
    virtual std::optional<int64_t> IdleMilliseconds() = 0;
};

/// This platform's idle time, once it has answered a first time; null where the desktop tells
/// none. `delay` is the idle time that matters to the caller: a desktop that only says when so
/// much has passed (Wayland's idle notifications) is told that, and counted on from there,
/// while below it the source never says more than delay - 1. Needs the application object.
std::unique_ptr<IdleTimeSource> PlatformIdleTime(int64_t delay);
