// A scenario: host variable values over time and mouse actions at given
// times, read from a small CSV file (the format is described in scenario.cpp
// and in the README), and the playback that writes its values frame by frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "k729/module.h"
#include "k729host/error.h"
#include "k729host/host.h"

namespace k729::panel {

inline constexpr double kMaxFps = 240.0;
inline constexpr double kMaxDuration = 3600.0; // seconds
inline constexpr std::size_t kMaxFrames = 100000;
inline constexpr std::uint32_t kMaxHoldRepeats = 10000;

struct Keyframe {
    double time;
    host::StoredValue value;
    int line;
};

// One token's keyframes, sorted by time (no two at the same time).
struct Track {
    VarToken token = 0;
    bool discrete = false; // each value holds until the next keyframe
    bool circular = false; // degrees: the short way round, kept in 0..360
    std::vector<Keyframe> keys;

    // The value at time t: none before the first keyframe, the last one's
    // after it. Between two numbers: linear, or held for a discrete track.
    // Integers, texts and values that are not finite always hold.
    std::optional<host::StoredValue> at(double t) const;
    // Whether a keyframe lies in (after, upTo].
    bool keyframeIn(double after, double upTo) const;
};

struct MouseAction {
    double time;
    std::int32_t x, y;     // panel pixels
    std::uint32_t repeats; // 0: a click; otherwise held for that many calls
    std::size_t frame;     // the first frame at or after `time`
    int line;
};

struct Scenario {
    std::string source;
    double fps = 10.0;
    double duration = 0.0;            // seconds; frames run from 0 to the last one at or before it
    std::vector<Track> tracks;        // by token
    std::vector<MouseAction> actions; // in time order (file order within a frame)

    std::size_t frameCount() const;
    double timeOf(std::size_t frame) const { return static_cast<double>(frame) / fps; }
    const Track* track(VarToken token) const;
};

// Degrees kept in [0, 360): the circular tracks and the course and heading
// the command model steps. A value that is not finite gives NaN.
double aroundCircle(double degrees);

// Seconds as a report shows them: "2.5", "12".
std::string seconds(double t);

// The first frame at or after time t (t from 0 to kMaxDuration).
std::size_t frameAt(double t, double fps);

host::ErrorOr<Scenario> parseScenario(std::string_view text, const std::string& source);

// Writes a scenario's values into the host's variables frame by frame, and
// keeps what the command model set: a commanded token keeps its commanded
// value until the scenario's next keyframe for it (one after the command).
class Playback {
public:
    explicit Playback(const Scenario& scenario) : scenario_(scenario) {}
    // The values at time t, for every track that has begun and is not held by a command.
    void apply(double t, host::VariableStore& store);
    // The command model set `token` at time t.
    void commanded(VarToken token, double t) { commandedAt_[token] = t; }
    bool heldByCommand(VarToken token) const { return commandedAt_.count(token) != 0; }

private:
    const Scenario& scenario_;
    std::map<VarToken, double> commandedAt_;
};

} // namespace k729::panel
