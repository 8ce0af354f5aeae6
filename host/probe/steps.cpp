#include "steps.h"

#include <algorithm>
#include <map>

#include <CLI/CLI.hpp>

namespace k729::host::probe {
namespace {

template <class... Handlers> struct Overloaded : Handlers... { using Handlers::operator()...; };

ErrorOr<Step> stepFor(const std::string& flag, const std::string& text) {
    auto fail = [&](const Error& error) { return Error{flag + " " + text + ": " + error.message}; };
    if (flag == "--set") {
        ErrorOr<Assignment> assignment = parseAssignment(text);
        if (assignment.isError()) return fail(assignment.error());
        return Step{SetStep{assignment.release()}};
    }
    if (flag == "--click") {
        ErrorOr<Point> point = parsePoint(text);
        if (point.isError()) return fail(point.error());
        return Step{ClickStep{point.value()}};
    }
    if (flag == "--hold") {
        ErrorOr<Hold> hold = parseHold(text);
        if (hold.isError()) return fail(hold.error());
        return Step{HoldStep{hold.value()}};
    }
    if (flag == "--service") {
        ErrorOr<std::uint32_t> code = parseUnsigned(text);
        if (code.isError()) return fail(code.error());
        return Step{ServiceStep{code.value()}};
    }
    if (flag == "--frame") return Step{FrameStep{}};
    if (flag == "--kill") return Step{KillStep{}};
    return Error{"unknown step " + flag};
}

} // namespace

const char* const StepOptions::kImplicitFrameNote =
    "Without --frame, one frame runs before the first --click, --hold or --kill (at the end if "
    "there is none).";

StepOptions::StepOptions(CLI::App& command) : app_(&command) {
    auto option = [&](const char* name, const std::string& help) {
        return app_->add_option(name)->description(help);
    };
    textBuffer_ = option("--text-buffer",
                         "Bytes of the buffer each text element gets (0: a null buffer; at most " +
                             std::to_string(kMaxTextBufferBytes) + "; default 512)")
                      ->type_name("BYTES");
    sound_ = option("--sound", "Whether the modules find the sound library: present (default), "
                               "absent, no-terminate (present without TerminateSounds)")
                 ->type_name("MODE");
    auto step = [&](const char* name, const char* help) {
        return option(name, help)
            ->expected(1)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    };
    set_ = step("--set", "Step: set a host variable. VALUE is a number, nan, inf, -inf (a 64-bit "
                         "float), int:N (a 32-bit integer, decimal or 0x hex) or text:STRING")
               ->type_name("TOKEN=VALUE");
    frame_ = app_->add_flag("--frame")->description(
        "Step: one frame (pre-update, pre-draw, element walk)");
    click_ = step("--click", "Step: click gauge pixel X,Y")->type_name("X,Y");
    hold_ =
        step("--hold", "Step: hold the mouse on gauge pixel X,Y for N repeats")->type_name("X,Y,N");
    kill_ = app_->add_flag("--kill")->description("Step: pre-kill");
    service_ = step("--service", "Step: send any service code to the gauge")->type_name("CODE");
}

ErrorOr<SessionPlan> StepOptions::read() const {
    SessionPlan plan;
    if (textBuffer_->count() > 0) {
        std::string text = textBuffer_->as<std::string>();
        ErrorOr<std::uint32_t> bytes = parseUnsigned(text, kMaxTextBufferBytes);
        if (bytes.isError()) return Error{"--text-buffer " + text + ": " + bytes.error().message};
        plan.textBufferBytes = bytes.value();
    }
    if (sound_->count() > 0) {
        std::string text = sound_->as<std::string>();
        std::optional<SoundMode> mode = parseSoundMode(text);
        if (!mode) return Error{"--sound " + text + ": expected present, absent or no-terminate"};
        plan.sound = *mode;
    }

    // CLI11 keeps each option's values apart; its parse order interleaves them again.
    const std::map<const CLI::Option*, std::string> flags = {
        {set_, "--set"},   {frame_, "--frame"}, {click_, "--click"},
        {hold_, "--hold"}, {kill_, "--kill"},   {service_, "--service"},
    };
    std::map<const CLI::Option*, std::size_t> used;
    for (const CLI::Option* option : app_->parse_order()) {
        auto flag = flags.find(option);
        if (flag == flags.end()) continue;
        std::size_t index = used[option]++;
        const std::vector<std::string>& results = option->results();
        std::string text = index < results.size() ? results[index] : std::string();
        ErrorOr<Step> step = stepFor(flag->second, text);
        if (step.isError()) return step.error();
        plan.steps.push_back(step.release());
    }
    return plan;
}

std::vector<Step> withImplicitFrame(std::vector<Step> steps) {
    auto is = [](auto kind) {
        return [](const Step& step) { return std::holds_alternative<decltype(kind)>(step); };
    };
    if (std::any_of(steps.begin(), steps.end(), is(FrameStep{}))) return steps;
    auto first = std::find_if(steps.begin(), steps.end(), [](const Step& step) {
        return std::holds_alternative<ClickStep>(step) || std::holds_alternative<HoldStep>(step) ||
               std::holds_alternative<KillStep>(step);
    });
    steps.insert(first, FrameStep{});
    return steps;
}

void runSteps(Host& host, GaugeSession& session, const std::vector<Step>& steps) {
    for (const Step& step : steps) {
        std::visit(Overloaded{
                       [&](const SetStep& s) {
                           host.variables().set(s.assignment.token, s.assignment.value);
                       },
                       [&](const FrameStep&) { session.frame(); },
                       [&](const ClickStep& s) { session.click(s.point.x, s.point.y); },
                       [&](const HoldStep& s) {
                           session.hold(s.hold.point.x, s.hold.point.y, s.hold.repeats);
                       },
                       [&](const KillStep&) { session.kill(); },
                       [&](const ServiceStep& s) { session.service(s.code); },
                   },
                   step);
    }
}

} // namespace k729::host::probe
