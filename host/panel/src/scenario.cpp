// Scenario files: CSV, one record a line, its kind in the first field.
//
//   # engine start on the ground        a line starting with # is a comment
//   fps,10                              frames per second, above 0 and at most 240 (default 10)
//   duration,12                         seconds (default: the latest time in the file)
//   discrete,575,364,573                these tokens step: a value holds until the next keyframe
//   circular,81,854                     degrees: interpolated the short way round, kept in [0, 360)
//   set,2.5,61,140                      a keyframe: at 2.5 s token 61 is 140
//   columns,61,74,78                    the tokens of the "at" records that follow
//   at,10,150,1200,8.5                  keyframes for those tokens; an empty field sets none
//   click,3,612,318                     a left click at panel pixel (612, 318) at 3 s
//   hold,4,800,310,5                    the left button held there: 5 calls in that frame
//
// Fields are trimmed of blanks; a field in double quotes keeps everything
// up to the closing quote ("" is a quote), so a text value may hold a comma.
// Times are seconds from 0 to 3600. Values are written as on the probe's
// command line: a number (or nan, inf, -inf), int:N or text:STRING.
//
// Frames fall at 0, 1/fps, 2/fps, ... up to the duration; a mouse action at
// a time between two frames happens in the later one. Before a token's first
// keyframe the scenario leaves it alone; after its last it holds that value.
#include "k729panel/scenario.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "k729panel/panel_file.h"
#include "probe/values.h"

namespace k729::panel {
namespace {

// Frame times and keyframe times are computed differently (a division and a
// decimal conversion); this much apart they are the same instant.
constexpr double kTimeSlack = 1e-9;

struct Record {
    std::vector<std::string> fields;
    std::string error;
};

Record splitCsv(std::string_view line) {
    Record record;
    std::size_t at = 0;
    while (true) {
        std::string field;
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
            ++at;
        if (at < line.size() && line[at] == '"') {
            ++at;
            bool closed = false;
            while (at < line.size()) {
                if (line[at] == '"') {
                    if (at + 1 < line.size() && line[at + 1] == '"') {
                        field += '"';
                        at += 2;
                        continue;
                    }
                    ++at;
                    closed = true;
                    break;
                }
                field += line[at++];
            }
            if (!closed) {
                record.error = "a quoted field is not closed";
                return record;
            }
            while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
                ++at;
            if (at < line.size() && line[at] != ',') {
                record.error = "text after a quoted field";
                return record;
            }
        } else {
            const std::size_t end = std::min(line.find(',', at), line.size());
            field = std::string(line.substr(at, end - at));
            while (!field.empty() && (field.back() == ' ' || field.back() == '\t'))
                field.pop_back();
            at = end;
        }
        record.fields.push_back(std::move(field));
        if (at >= line.size()) break;
        ++at; // the comma
    }
    return record;
}

host::ErrorOr<double> number(const std::string& text, const char* what) {
    host::ErrorOr<host::StoredValue> value = host::probe::parseValue(text);
    if (value.isError() || value.value().kind != host::StoredValue::Kind::Number ||
        !std::isfinite(value.value().number))
        return host::Error{std::string(what) + " \"" + text + "\" is not a number"};
    return value.value().number;
}

host::ErrorOr<double> timeField(const std::string& text) {
    host::ErrorOr<double> t = number(text, "time");
    if (t.isError()) return t.error();
    if (t.value() < 0 || t.value() > kMaxDuration)
        return host::Error{"time " + text + " is outside 0 to " +
                           std::to_string(static_cast<int>(kMaxDuration)) + " seconds"};
    return t.value();
}

host::ErrorOr<VarToken> tokenField(const std::string& text) {
    host::ErrorOr<std::uint32_t> token = host::probe::parseUnsigned(text);
    if (token.isError()) return host::Error{"token \"" + text + "\" is not a token number"};
    if (token.value() == 0) return host::Error{"token 0 names no variable"};
    return token.value();
}

host::ErrorOr<std::int32_t> coordinate(const std::string& text, const char* what) {
    host::ErrorOr<std::int32_t> v = host::probe::parseSigned(text);
    if (v.isError())
        return host::Error{std::string(what) + " \"" + text + "\" is not a whole number"};
    return v.value();
}

bool isNumber(const host::StoredValue& v) {
    return v.kind == host::StoredValue::Kind::Number && std::isfinite(v.number);
}

} // namespace

double aroundCircle(double degrees) {
    double d = std::fmod(degrees, 360.0);
    if (d < 0) d += 360.0;
    return d >= 360.0 ? 0.0 : d; // -1e-20 + 360 rounds to 360
}

std::string seconds(double t) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", t);
    return text;
}

std::optional<host::StoredValue> Track::at(double t) const {
    auto after = std::upper_bound(keys.begin(), keys.end(), t + kTimeSlack,
                                  [](double v, const Keyframe& k) { return v < k.time; });
    if (after == keys.begin()) return std::nullopt;
    const Keyframe& a = *(after - 1);
    host::StoredValue value = a.value;
    if (after != keys.end() && !discrete && isNumber(a.value) && isNumber(after->value)) {
        const Keyframe& b = *after;
        const double u = (t - a.time) / (b.time - a.time);
        if (u > 0) {
            double span = b.value.number - a.value.number;
            if (circular) {
                span = std::fmod(span, 360.0);
                if (span > 180.0) span -= 360.0;
                if (span <= -180.0) span += 360.0;
            }
            value.number = a.value.number + u * span;
        }
    }
    if (circular && isNumber(value)) value.number = aroundCircle(value.number);
    return value;
}

bool Track::keyframeIn(double after, double upTo) const {
    return std::any_of(keys.begin(), keys.end(), [&](const Keyframe& k) {
        return k.time > after + kTimeSlack && k.time <= upTo + kTimeSlack;
    });
}

std::size_t frameAt(double t, double fps) {
    // Both are bounded (kMaxDuration, kMaxFps), so the product fits.
    const double f = std::ceil(t * fps - 1e-6);
    return f <= 0 ? 0 : static_cast<std::size_t>(f);
}

std::size_t Scenario::frameCount() const {
    return static_cast<std::size_t>(std::floor(duration * fps + 1e-6)) + 1;
}

const Track* Scenario::track(VarToken token) const {
    for (const Track& t : tracks)
        if (t.token == token) return &t;
    return nullptr;
}

host::ErrorOr<Scenario> parseScenario(std::string_view text, const std::string& source) {
    Scenario scenario;
    scenario.source = source;
    int fpsLine = 0, durationLine = 0;
    std::map<VarToken, int> discreteAt, circularAt;
    std::map<VarToken, Track> tracks;
    std::vector<VarToken> columns;
    int columnsLine = 0;

    int lineNo = 0;
    while (!text.empty()) {
        ++lineNo;
        const std::string_view line = takeLine(text);
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos || line[first] == '#') continue;

        auto fail = [&](const std::string& what) {
            return host::Error{located(source, lineNo, what)};
        };
        Record record = splitCsv(line);
        if (!record.error.empty()) return fail(record.error);
        const std::vector<std::string>& f = record.fields;
        const std::string& kind = f[0];
        auto count = [&](std::size_t n, const char* form) -> std::optional<host::Error> {
            if (f.size() == n) return std::nullopt;
            return fail(std::string("expected \"") + form + "\"");
        };
        auto addKeyframe = [&](VarToken token, double time,
                               const std::string& valueText) -> std::optional<host::Error> {
            host::ErrorOr<host::StoredValue> value = host::probe::parseValue(valueText);
            if (value.isError())
                return fail("value \"" + valueText + "\" for token " + std::to_string(token) +
                            ": " + value.error().message);
            Track& track = tracks[token];
            track.token = token;
            for (const Keyframe& k : track.keys)
                if (k.time == time)
                    return fail("token " + std::to_string(token) + " has a keyframe at " +
                                seconds(time) + " s already (line " + std::to_string(k.line) + ")");
            track.keys.push_back({time, value.release(), lineNo});
            return std::nullopt;
        };

        if (kind == "fps") {
            if (auto e = count(2, "fps,FRAMES-PER-SECOND")) return *e;
            if (fpsLine)
                return fail("a second fps line (the first is line " + std::to_string(fpsLine) +
                            ")");
            host::ErrorOr<double> fps = number(f[1], "fps");
            if (fps.isError()) return fail(fps.error().message);
            if (!(fps.value() > 0) || fps.value() > kMaxFps)
                return fail("fps " + f[1] + " is not above 0 and at most " +
                            std::to_string(static_cast<int>(kMaxFps)));
            scenario.fps = fps.value();
            fpsLine = lineNo;
        } else if (kind == "duration") {
            if (auto e = count(2, "duration,SECONDS")) return *e;
            if (durationLine)
                return fail("a second duration line (the first is line " +
                            std::to_string(durationLine) + ")");
            host::ErrorOr<double> t = timeField(f[1]);
            if (t.isError()) return fail("duration: " + t.error().message);
            scenario.duration = t.value();
            durationLine = lineNo;
        } else if (kind == "discrete" || kind == "circular") {
            if (f.size() < 2) return fail("expected \"" + kind + ",TOKEN,...\"");
            auto& mine = kind == "discrete" ? discreteAt : circularAt;
            auto& other = kind == "discrete" ? circularAt : discreteAt;
            for (std::size_t i = 1; i < f.size(); ++i) {
                host::ErrorOr<VarToken> token = tokenField(f[i]);
                if (token.isError()) return fail(token.error().message);
                if (auto it = other.find(token.value()); it != other.end())
                    return fail("token " + f[i] +
                                " cannot be both discrete and circular (see line " +
                                std::to_string(it->second) + ")");
                mine.emplace(token.value(), lineNo);
            }
        } else if (kind == "set") {
            if (auto e = count(4, "set,TIME,TOKEN,VALUE")) return *e;
            host::ErrorOr<double> t = timeField(f[1]);
            if (t.isError()) return fail(t.error().message);
            host::ErrorOr<VarToken> token = tokenField(f[2]);
            if (token.isError()) return fail(token.error().message);
            if (auto e = addKeyframe(token.value(), t.value(), f[3])) return *e;
        } else if (kind == "columns") {
            if (f.size() < 2) return fail("expected \"columns,TOKEN,...\"");
            columns.clear();
            for (std::size_t i = 1; i < f.size(); ++i) {
                host::ErrorOr<VarToken> token = tokenField(f[i]);
                if (token.isError()) return fail(token.error().message);
                if (std::find(columns.begin(), columns.end(), token.value()) != columns.end())
                    return fail("token " + f[i] + " is named twice");
                columns.push_back(token.value());
            }
            columnsLine = lineNo;
        } else if (kind == "at") {
            if (!columnsLine) return fail("an \"at\" record before any \"columns\" record");
            if (f.size() != columns.size() + 2)
                return fail("expected a time and " + std::to_string(columns.size()) +
                            " values (the columns of line " + std::to_string(columnsLine) +
                            "), not " + std::to_string(f.size() - 1) + " fields");
            host::ErrorOr<double> t = timeField(f[1]);
            if (t.isError()) return fail(t.error().message);
            for (std::size_t i = 0; i < columns.size(); ++i)
                if (!f[i + 2].empty())
                    if (auto e = addKeyframe(columns[i], t.value(), f[i + 2])) return *e;
        } else if (kind == "click" || kind == "hold") {
            const bool hold = kind == "hold";
            if (auto e = count(hold ? 5 : 4, hold ? "hold,TIME,X,Y,N" : "click,TIME,X,Y"))
                return *e;
            host::ErrorOr<double> t = timeField(f[1]);
            if (t.isError()) return fail(t.error().message);
            host::ErrorOr<std::int32_t> x = coordinate(f[2], "X"), y = coordinate(f[3], "Y");
            if (x.isError()) return fail(x.error().message);
            if (y.isError()) return fail(y.error().message);
            std::uint32_t repeats = 0;
            if (hold) {
                host::ErrorOr<std::uint32_t> n = host::probe::parseUnsigned(f[4], kMaxHoldRepeats);
                if (n.isError() || n.value() == 0)
                    return fail("N \"" + f[4] + "\" is not a count from 1 to " +
                                std::to_string(kMaxHoldRepeats));
                repeats = n.value();
            }
            scenario.actions.push_back({t.value(), x.value(), y.value(), repeats, 0, lineNo});
        } else {
            return fail("unknown record \"" + kind +
                        "\" (expected fps, duration, discrete, circular, set, columns, at, "
                        "click or hold)");
        }
    }

    double latest = 0;
    for (auto& [token, track] : tracks) {
        std::sort(track.keys.begin(), track.keys.end(),
                  [](const Keyframe& a, const Keyframe& b) { return a.time < b.time; });
        track.discrete = discreteAt.count(token) != 0;
        track.circular = circularAt.count(token) != 0;
        for (const Keyframe& k : track.keys) {
            latest = std::max(latest, k.time);
            if (track.circular && k.value.kind != host::StoredValue::Kind::Number)
                return host::Error{located(source, k.line,
                                           "token " + std::to_string(token) +
                                               " is circular and takes numbers only")};
        }
        scenario.tracks.push_back(std::move(track));
    }
    std::stable_sort(scenario.actions.begin(), scenario.actions.end(),
                     [](const MouseAction& a, const MouseAction& b) { return a.time < b.time; });
    for (MouseAction& a : scenario.actions) {
        a.frame = frameAt(a.time, scenario.fps);
        latest = std::max(latest, a.time);
    }
    if (!durationLine)
        scenario.duration = std::min(scenario.timeOf(frameAt(latest, scenario.fps)), kMaxDuration);
    if (scenario.frameCount() > kMaxFrames)
        return host::Error{source + ": " + std::to_string(scenario.frameCount()) +
                           " frames is more than " + std::to_string(kMaxFrames)};
    for (const MouseAction& a : scenario.actions)
        if (a.frame >= scenario.frameCount())
            return host::Error{located(source, a.line,
                                       "the mouse action lies after the last frame (duration " +
                                           seconds(scenario.duration) + " s)")};
    return scenario;
}

void Playback::apply(double t, host::VariableStore& store) {
    for (const Track& track : scenario_.tracks) {
        if (auto held = commandedAt_.find(track.token); held != commandedAt_.end()) {
            if (!track.keyframeIn(held->second, t)) continue;
            commandedAt_.erase(held);
        }
        if (std::optional<host::StoredValue> value = track.at(t)) store.set(track.token, *value);
    }
}

} // namespace k729::panel
