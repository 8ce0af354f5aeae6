#include "probe.h"

#include <ostream>

#include <CLI/CLI.hpp>

#include "report.h"

namespace k729::host::probe {

ProbeCommand::ProbeCommand(CLI::App& parent)
    : app_(parent.add_subcommand(
          "probe", "Load one module, run the steps in the order given and print a JSON report")),
      module_(
          app_->add_option("MODULE")->description("Path of the module file (.gau)")->required()),
      steps_(*app_) {
    app_->footer(std::string(StepOptions::kImplicitFrameNote) +
                 " Unless the steps killed the module, it is killed after the report.\n"
                 "Exit status: 0, 1 if the report lists errors, 2 for a bad argument or module.");
}

bool ProbeCommand::selected() const {
    return app_->parsed();
}

int ProbeCommand::run(std::ostream& out, std::ostream& err) const {
    ErrorOr<ProbeOptions> parsed = options();
    if (parsed.isError()) {
        err << "gaugehost probe: " << parsed.error().message << '\n';
        return kProbeBadUsage;
    }
    return runProbe(parsed.value(), out, err);
}

ErrorOr<ProbeOptions> ProbeCommand::options() const {
    ErrorOr<SessionPlan> plan = steps_.read();
    if (plan.isError()) return plan.error();
    ProbeOptions options;
    static_cast<SessionPlan&>(options) = plan.release();
    options.module = module_->as<std::string>();
    return options;
}

int runProbe(const ProbeOptions& options, std::ostream& out, std::ostream& err) {
    prepareSound(options.sound);
    Host host;
    ErrorOr<std::unique_ptr<GaugeSession>> opened =
        GaugeSession::open(host, options.module, {.textBufferBytes = options.textBufferBytes});
    if (opened.isError()) {
        err << "gaugehost probe: " << opened.error().message << '\n';
        return kProbeBadUsage;
    }
    std::unique_ptr<GaugeSession> session = opened.release();

    runSteps(host, *session, withImplicitFrame(options.steps));

    std::vector<std::string> errors = collectErrors(*session, host);
    out << report(*session, host, terminateCalls(), errors).dump() << '\n';
    out.flush();
    int status = errors.empty() ? kProbeOk : kProbeFoundErrors;

    // The closing kill comes after the report; what goes wrong in it can
    // only go to the error stream.
    std::size_t reported = host.problems().size();
    session.reset();
    for (std::size_t i = reported; i < host.problems().size(); ++i) {
        err << "gaugehost probe: after the report: " << host.problems()[i].describe() << '\n';
        status = kProbeFoundErrors;
    }
    return status;
}

} // namespace k729::host::probe
