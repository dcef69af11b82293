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
/// none. Needs the application object.
std::unique_ptr<IdleTimeSource> PlatformIdleTime();
