#include "k729panel/runner.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <set>

#include <nlohmann/json.hpp>

#include "k729host/host.h"
#include "k729host/platform.h"
#include "k729host/session.h"
#include "k729host/sound.h"
#include "k729panel/apng.h"
#include "k729panel/commands.h"
#include "k729panel/panel_file.h"
#include "k729panel/panel_view.h"
#include "k729panel/scenario.h"

namespace k729::panel {
namespace fs = std::filesystem;
using nlohmann::json;

namespace {

constexpr std::size_t kSheetFrames = 12;
constexpr int kSheetColumns = 3;
constexpr int kThumbnailWidth = 360;

// The progress of the frames: a bar redrawn in place on a terminal, a line
// every tenth otherwise.
class Progress {
public:
    Progress(std::ostream& err, std::string who, std::size_t total, bool terminal, bool enabled)
        : err_(err), who_(std::move(who)), total_(std::max<std::size_t>(total, 1)),
          terminal_(terminal), enabled_(enabled) {}

    void update(std::size_t done, double t) {
        if (!enabled_) return;
        const std::size_t percent = done * 100 / total_;
        if (terminal_) {
            if (percent == shown_ && done != total_) return;
            constexpr std::size_t kWidth = 30;
            const std::size_t filled = done * kWidth / total_;
            err_ << '\r' << who_ << ": [" << std::string(filled, '#')
                 << std::string(kWidth - filled, '.') << "] " << percent << "%  frame " << done
                 << '/' << total_ << "  " << seconds(t) << " s" << std::flush;
            if (done == total_) err_ << '\n';
        } else {
            if (percent / 10 == shown_ / 10 && done != total_) return;
            if (done == total_ && shown_ == 100) return;
            err_ << who_ << ": " << percent << "% (" << done << '/' << total_ << " frames, "
                 << seconds(t) << " s)\n";
        }
        shown_ = percent;
    }

private:
    std::ostream& err_;
    std::string who_;
    std::size_t total_;
    bool terminal_, enabled_;
    std::size_t shown_ = 1000; // nothing shown yet
};

// Files are made in a folder beside the output and moved in only when the
// whole run succeeded; the folder goes away in every case.
class Staging {
public:
    explicit Staging(fs::path folder) : folder_(std::move(folder)) {}
    ~Staging() {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    Staging(const Staging&) = delete;
    Staging& operator=(const Staging&) = delete;

    const fs::path& folder() const { return folder_; }
    fs::path file(const std::string& name) {
        names_.push_back(name);
        return folder_ / name;
    }
    // Moves every file into `out` (each rename replaces a file of that name
    // at once) and removes frames an earlier run left that this one did not make.
    void commit(const fs::path& out) {
        fs::create_directories(out);
        const std::set<std::string> made(names_.begin(), names_.end());
        for (const std::string& name : names_)
            fs::rename(folder_ / name, out / name);
        for (const fs::directory_entry& entry : fs::directory_iterator(out)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("frame-", 0) == 0 && entry.path().extension() == ".png" &&
                !made.count(name))
                fs::remove(entry.path());
        }
    }

private:
    fs::path folder_;
    std::vector<std::string> names_;
};

bool writeBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes, std::string* error) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (file) return true;
    if (error) *error = "cannot write " + path.string();
    return false;
}

// JSON has no word for the values that are not finite.
json numberJson(double v) {
    if (std::isfinite(v)) return v;
    return std::isnan(v) ? "nan" : v > 0 ? "inf" : "-inf";
}

// The frames of the contact sheet: evenly spread from the first to the last.
std::vector<std::size_t> sheetFrames(std::size_t count) {
    std::vector<std::size_t> picks;
    const std::size_t n = std::min(count, kSheetFrames);
    for (std::size_t i = 0; i < n; ++i)
        picks.push_back(n == 1 ? 0 : (i * (count - 1) + (n - 1) / 2) / (n - 1));
    return picks;
}

} // namespace

std::string frameFile(std::size_t written) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%04zu.png", written);
    return name;
}

namespace {

int runUnguarded(const RunOptions& o, std::ostream& out, std::ostream& err) {
    const std::string who = "gaugehost " + o.command;
    auto bad = [&](const std::string& message) {
        err << who << ": " << message << '\n';
        return kRunBadInput;
    };

    // Everything that can be wrong with the inputs is found before anything is written.
    host::ErrorOr<Panel> parsedPanel = parsePanel(o.panelText, o.panelSource);
    if (parsedPanel.isError()) return bad(parsedPanel.error().message);
    const Panel& panel = parsedPanel.value();
    host::ErrorOr<Scenario> parsedScenario = parseScenario(o.scenarioText, o.scenarioSource);
    if (parsedScenario.isError()) return bad(parsedScenario.error().message);
    const Scenario& scenario = parsedScenario.value();

    if (o.scale < 1 || o.scale > render::kMaxScale)
        return bad("--scale " + std::to_string(o.scale) + ": expected 1 to " +
                   std::to_string(render::kMaxScale));
    if (std::max(panel.width, panel.height) * o.scale > kMaxFrameSide)
        return bad("--scale " + std::to_string(o.scale) + ": the " + std::to_string(panel.width) +
                   "x" + std::to_string(panel.height) + " panel would be more than " +
                   std::to_string(kMaxFrameSide) + " pixels a side");
    if (o.framesEvery < 1 || o.framesEvery > kMaxFramesEvery)
        return bad("--frames-every " + std::to_string(o.framesEvery) + ": expected 1 to " +
                   std::to_string(kMaxFramesEvery));
    for (const MouseAction& a : scenario.actions)
        if (a.x < 0 || a.y < 0 || a.x >= panel.width || a.y >= panel.height)
            return bad(located(scenario.source, a.line,
                               "(" + std::to_string(a.x) + ", " + std::to_string(a.y) +
                                   ") lies outside the " + std::to_string(panel.width) + "x" +
                                   std::to_string(panel.height) + " panel " + panel.source));

    fs::path outFolder = fs::absolute(fs::path(o.out)).lexically_normal();
    if (!outFolder.has_filename()) outFolder = outFolder.parent_path();
    if (o.out.empty() || !outFolder.has_filename() || outFolder == outFolder.root_path())
        return bad("--out \"" + o.out + "\" does not name a folder");
    std::error_code ec;
    if (fs::exists(outFolder, ec) && !fs::is_directory(outFolder, ec))
        return bad("--out " + o.out + " is a file, not a folder");

    host::prepareSound(host::SoundMode::Present);
    host::Host host;
    std::vector<std::string> warnings;
    host::ErrorOr<std::vector<PlacedGauge>> opened = openGauges(host, panel, o.modules, warnings);
    if (opened.isError()) return bad(opened.error().message);
    for (const std::string& w : warnings)
        err << who << ": warning: " << w << '\n';
    std::vector<PlacedGauge> gauges = opened.release();
    std::vector<std::string> notBuilt;
    for (const PlacedGauge& g : gauges)
        if (!g.session) notBuilt.push_back(g.place.name);

    // The staging folder sits beside the output, so that the files move in by renaming.
    const fs::path parent = outFolder.parent_path();
    try {
        fs::create_directories(parent);
    } catch (const fs::filesystem_error& e) {
        return bad("cannot make " + parent.string() + ": " + e.code().message());
    }
    Staging staging(parent / ("." + outFolder.filename().string() + ".partial-" +
                              std::to_string(static_cast<long>(getpid()))));
    fs::remove_all(staging.folder(), ec);
    if (!fs::create_directory(staging.folder(), ec))
        return bad("cannot make " + staging.folder().string() + ": " + ec.message());

    const int frameWidth = panel.width * o.scale, frameHeight = panel.height * o.scale;
    render::Surface frame(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, frameWidth, frameHeight));
    if (cairo_surface_status(frame.get()) != CAIRO_STATUS_SUCCESS)
        return bad("cannot make a " + std::to_string(frameWidth) + "x" +
                   std::to_string(frameHeight) + " frame");
    const PanelDrawOptions drawOptions{o.scale, o.night, o.areas};
    const double delay =
        std::clamp(std::round(1000.0 * o.framesEvery / scenario.fps), 1.0, 65535.0);
    ApngBuilder animation(frameWidth, frameHeight);

    const std::size_t frames = scenario.frameCount();
    const std::vector<std::size_t> picks = sheetFrames(frames);
    std::vector<render::Surface> thumbnails;
    std::vector<std::string> thumbnailLabels;
    Playback playback(scenario);
    Progress progress(err, who, frames, o.terminal, o.progress);
    std::set<std::pair<std::string, std::string>> warned;
    std::size_t consumed = host.keyEvents().size(), nextAction = 0, written = 0;
    std::size_t actionsDone = 0, commandsDone = 0, unknownEvents = 0;
    json report = {{"panel", panel.source}, {"scenario", scenario.source},
                   {"fps", scenario.fps},   {"duration", scenario.duration},
                   {"frames", frames},      {"scale", o.scale},
                   {"night", o.night}};
    json& writtenFrames = report["written"] = json::array();
    json& mouse = report["mouse"] = json::array();
    json& commands = report["commands"] = json::array();
    std::vector<std::string> skippedActions;

    for (std::size_t i = 0; i < frames; ++i) {
        const double t = scenario.timeOf(i);
        playback.apply(t, host.variables());

        for (; nextAction < scenario.actions.size() && scenario.actions[nextAction].frame == i;
             ++nextAction) {
            const MouseAction& a = scenario.actions[nextAction];
            const ClickTarget target = route(gauges, a.x, a.y);
            const char* kind = a.repeats ? "hold" : "click";
            json entry = {{"line", a.line}, {"time", t}, {"action", kind}, {"x", a.x}, {"y", a.y}};
            if (a.repeats) entry["repeats"] = a.repeats;
            if (target.gauge) {
                host::GaugeSession& session = *target.gauge->session;
                const int calls = a.repeats ? session.hold(target.x, target.y, a.repeats)
                                            : session.click(target.x, target.y);
                entry["gauge"] = target.gauge->place.name;
                entry["at"] = {target.x, target.y};
                entry["calls"] = calls;
                ++actionsDone;
            } else {
                std::string why;
                if (!target.under) {
                    why = "no gauge there";
                } else if (!target.under->session) {
                    why = target.under->place.name + " is not built yet";
                    entry["gauge"] = target.under->place.name;
                } else {
                    why = target.under->place.name + " has no click area there";
                    entry["gauge"] = target.under->place.name;
                }
                entry["skipped"] = why;
                skippedActions.push_back(seconds(t) + " s " + kind + " at (" + std::to_string(a.x) +
                                         ", " + std::to_string(a.y) + ") (" + scenario.source +
                                         ":" + std::to_string(a.line) + "): " + why);
            }
            mouse.push_back(std::move(entry));
        }

        // The commands the clicks sent, before the gauges draw: the next
        // frame shows what they did.
        for (; consumed < host.keyEvents().size(); ++consumed) {
            const host::KeyEvent& event = host.keyEvents()[consumed];
            const CommandResult result = carryOut(event.event, host.variables());
            json entry = {{"time", t}, {"event", event.event}};
            if (result.rule) {
                playback.commanded(result.rule->token, t);
                entry["token"] = result.rule->token;
                entry["what"] = result.rule->what;
                entry["before"] = numberJson(result.before);
                entry["after"] = numberJson(result.after);
                ++commandsDone;
            } else {
                entry["unknown"] = true;
                ++unknownEvents;
            }
            commands.push_back(std::move(entry));
        }

        for (PlacedGauge& g : gauges)
            if (g.session) g.session->frame();
        std::vector<DrawProblem> problems;
        drawPanel(frame.get(), panel, gauges, drawOptions, problems);
        for (const DrawProblem& p : problems)
            if (warned.insert({p.gauge, p.what}).second)
                err << who << ": warning: " << p.gauge << ": " << p.what << '\n';

        std::string why;
        if (i % o.framesEvery == 0) {
            const std::string name = frameFile(written++);
            if (!render::writePng(frame.get(), staging.file(name).string(), &why) ||
                !animation.add(frame.get(), static_cast<std::uint16_t>(delay), &why))
                return bad(why);
            writtenFrames.push_back({{"file", name}, {"frame", i}, {"time", t}});
        }
        if (std::find(picks.begin(), picks.end(), i) != picks.end()) {
            thumbnails.push_back(thumbnail(frame.get(), std::min(kThumbnailWidth, frameWidth)));
            thumbnailLabels.push_back(seconds(std::round(t * 10) / 10) + " s  (frame " +
                                      std::to_string(i) + ")");
        }
        progress.update(i + 1, t);
    }

    // What the gauges and the host reported.
    json& faults = report["faults"] = json::array();
    for (const PlacedGauge& g : gauges) {
        json entry = {{"gauge", g.place.name},
                      {"module", g.place.module},
                      {"x", g.place.x},
                      {"y", g.place.y},
                      {"width", g.place.width},
                      {"height", g.place.height},
                      {"built", g.session != nullptr}};
        report["gauges"].push_back(std::move(entry));
        if (g.session)
            for (const std::string& e : g.session->errors())
                faults.push_back(g.place.name + ": " + e);
    }
    for (const host::HostCallProblem& p : host.problems())
        faults.push_back("host: " + p.describe());
    for (const json& f : faults)
        err << who << ": " << f.get<std::string>() << '\n';

    std::string why;
    const render::Surface sheet =
        contactSheet(thumbnails, thumbnailLabels,
                     panel.source + "  |  " + scenario.source + "  |  " + std::to_string(frames) +
                         " frames at " + seconds(scenario.fps) + " fps",
                     kSheetColumns);
    if (!render::writePng(sheet.get(), staging.file(kContactSheetFile).string(), &why) ||
        !writeBytes(staging.file(kAnimationFile), animation.file(), &why))
        return bad(why);
    {
        std::ofstream file(staging.file(kReportFile));
        file << report.dump(2) << '\n';
        file.close(); // what the buffer still held is written, or fails, here
        if (!file) return bad("cannot write " + std::string(kReportFile));
    }
    try {
        staging.commit(outFolder);
    } catch (const fs::filesystem_error& e) {
        return bad("cannot move the pictures into " + outFolder.string() + ": " +
                   e.code().message());
    }

    const std::string folder = o.out;
    out << who << ": " << frames << " frames (" << seconds(scenario.duration) << " s at "
        << seconds(scenario.fps) << " fps) of " << panel.source << " through " << scenario.source
        << "\n";
    out << "  pictures in " << folder << "/\n";
    out << "    " << frameFile(0);
    if (written > 1) out << " to " << frameFile(written - 1);
    out << "  (" << written << " frames";
    if (o.framesEvery > 1) out << ", one in " << o.framesEvery;
    out << ")\n";
    out << "    " << kContactSheetFile << "  (" << picks.size() << " frames)\n";
    out << "    " << kAnimationFile << "  (animated PNG, " << animation.frames()
        << " stored frames)\n";
    out << "    " << kReportFile << "  (gauges, mouse actions, commands)\n";
    out << "  gauges: " << (gauges.size() - notBuilt.size()) << " drawn";
    if (!notBuilt.empty()) {
        out << ", " << notBuilt.size() << " not built yet (";
        for (std::size_t i = 0; i < notBuilt.size(); ++i)
            out << (i ? ", " : "") << notBuilt[i];
        out << ")";
    }
    out << "\n  mouse: " << actionsDone << " carried out, " << skippedActions.size()
        << " skipped\n";
    for (const std::string& s : skippedActions)
        out << "    skipped: " << s << '\n';
    out << "  commands: " << commandsDone << " carried out";
    if (unknownEvents) out << ", " << unknownEvents << " key events the model does not know";
    out << '\n';
    return faults.empty() ? kRunOk : kRunFoundErrors;
}

} // namespace

int runPanel(const RunOptions& o, std::ostream& out, std::ostream& err) {
    // The run writes into a staging folder that goes away on any way out;
    // what reaches here (no memory, a file system that fails) writes nothing.
    try {
        return runUnguarded(o, out, err);
    } catch (const std::exception& e) {
        err << "gaugehost " << o.command << ": " << e.what() << '\n';
        return kRunBadInput;
    }
}

} // namespace k729::panel
