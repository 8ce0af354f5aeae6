#include "render.h"

#include <fcntl.h>
#include <unistd.h>

#include <cairo.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "k729host/text_encoding.h"
#include "k729render/areas.h"
#include "k729render/picture.h"
#include "k729render/render.h"
#include "k729render/session_view.h"
#include "probe/report.h"
#include "probe/steps.h"
#include "probe/values.h"

namespace k729::host::view {

struct RenderCommand::Options {
    CLI::App* app = nullptr;
    CLI::Option* module = nullptr;
    CLI::Option* out = nullptr;
    CLI::Option* scale = nullptr;
    CLI::Option* night = nullptr;
    CLI::Option* areas = nullptr;
    std::unique_ptr<probe::StepOptions> steps;
};

namespace {

// What one run needs, read from the command line.
struct Request {
    std::string module, out;
    int scale = 1;
    bool night = false, areas = false;
    probe::SessionPlan plan;
};

std::string hex(std::uint32_t v) {
    std::ostringstream s;
    s << "0x" << std::uppercase << std::hex << v;
    return s.str();
}

cairo_status_t writeAll(void* closure, const unsigned char* data, unsigned int length) {
    const int fd = *static_cast<int*>(closure);
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return CAIRO_STATUS_WRITE_ERROR;
        data += n;
        length -= static_cast<unsigned int>(n);
    }
    return CAIRO_STATUS_SUCCESS;
}

// The PNG goes to a new file beside the target, which then replaces the
// target in one step: a reader never sees half a picture, and a failed run
// leaves whatever was there before.
ErrorOr<void> writeAtomically(cairo_surface_t* surface, const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path target(path);
    if (!target.has_filename()) return Error{"--out " + path + " names no file"};
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    auto failed = [&](const std::string& why) {
        return Error{"cannot write " + path + ": " + why};
    };

    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        temporary = (folder / ("." + target.filename().string() + "." + std::to_string(::getpid()) +
                               "." + std::to_string(attempt) + ".tmp"))
                        .string();
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && (errno != EEXIST || attempt == 100)) return failed(std::strerror(errno));
    }
    const cairo_status_t status = cairo_surface_write_to_png_stream(surface, writeAll, &fd);
    const bool closed = ::close(fd) == 0;
    std::string why;
    if (status != CAIRO_STATUS_SUCCESS)
        why = cairo_status_to_string(status);
    else if (!closed)
        why = std::strerror(errno);
    else if (::rename(temporary.c_str(), path.c_str()) != 0)
        why = std::strerror(errno);
    if (why.empty()) return {};
    ::unlink(temporary.c_str());
    return failed(why);
}

int render(const Request& request, std::ostream& out, std::ostream& err) {
    auto usage = [&](const std::string& message) {
        err << "gaugehost render: " << message << '\n';
        return kRenderBadUsage;
    };
    prepareSound(request.plan.sound);
    Host host;
    ErrorOr<std::unique_ptr<GaugeSession>> opened =
        GaugeSession::open(host, request.module, {.textBufferBytes = request.plan.textBufferBytes});
    if (opened.isError()) return usage(opened.error().message);
    std::unique_ptr<GaugeSession> session = opened.release();
    probe::runSteps(host, *session, probe::withImplicitFrame(request.plan.steps));

    std::string why;
    std::optional<render::PictureMap> bitmaps = render::readModuleBitmaps(request.module, &why);
    if (!bitmaps) return usage(why);
    const std::vector<render::DrawItem> items = render::drawItems(*session);
    const Extent size = render::gaugeSize(items, *bitmaps);
    const std::int64_t width = std::int64_t{std::max(size.w, 1)} * request.scale;
    const std::int64_t height = std::int64_t{std::max(size.h, 1)} * request.scale;
    if (width > render::kMaxPictureSide || height > render::kMaxPictureSide)
        return usage("the picture would be " + std::to_string(width) + "x" +
                     std::to_string(height) + " pixels; at most " +
                     std::to_string(render::kMaxPictureSide) + " a side");

    render::DrawOptions options;
    options.scale = request.scale;
    options.night = request.night;
    options.size = size;
    render::Rendering picture = render::renderGauge(items, *bitmaps, options);
    if (cairo_surface_status(picture.surface.get()) != CAIRO_STATUS_SUCCESS)
        return usage(std::string("cannot draw: ") +
                     cairo_status_to_string(cairo_surface_status(picture.surface.get())));
    std::vector<std::string> problems = picture.report.problems;
    if (request.areas &&
        !render::drawAreas(picture.surface.get(), session->areas(), 0, 0, request.scale))
        return usage("cannot draw the mouse areas");
    cairo_surface_flush(picture.surface.get());

    if (ErrorOr<void> written = writeAtomically(picture.surface.get(), request.out);
        written.isError())
        return usage(written.error().message);

    if (request.areas) {
        const std::optional<std::string>& tooltip = session->tooltip();
        out << "tooltip: " << (tooltip ? cp1252ToUtf8(*tooltip) : std::string("none")) << '\n';
        for (const MouseArea& a : session->areas())
            out << "area " << a.listIndex << ": box (" << a.box.x << ", " << a.box.y << ", "
                << a.box.w << ", " << a.box.h << "), cursor " << a.cursor << ", flags "
                << hex(a.flags) << '\n';
        out.flush();
    }
    for (std::string& e : probe::collectErrors(*session, host))
        problems.push_back(std::move(e));
    const std::size_t reported = host.problems().size();
    session.reset();
    for (std::size_t i = reported; i < host.problems().size(); ++i)
        problems.push_back("at the closing kill: " + host.problems()[i].describe());
    for (const std::string& p : problems)
        err << "gaugehost render: " << p << '\n';
    return problems.empty() ? kRenderOk : kRenderProblems;
}

} // namespace

RenderCommand::RenderCommand(CLI::App& parent) : options_(std::make_unique<Options>()) {
    Options& o = *options_;
    o.app = parent.add_subcommand(
        "render", "Draw one gauge after the steps (as probe runs them) into a PNG file");
    o.module =
        o.app->add_option("MODULE")->description("Path of the module file (.gau)")->required();
    o.out = o.app->add_option("--out")
                ->description("The PNG file to write (replaced in one step; nothing is written "
                              "on an error)")
                ->type_name("FILE")
                ->required();
    o.scale = o.app->add_option("--scale")
                  ->description("Whole-pixel zoom, 1 to " + std::to_string(render::kMaxScale) +
                                " (default 1)")
                  ->type_name("K");
    o.night = o.app->add_flag("--night")->description(
        "Night lighting: elements whose callbacks did not mark them bright are dimmed");
    o.areas = o.app->add_flag("--areas")->description(
        "Outline each click area in magenta with its cursor code in its top-left corner, and "
        "print the tooltip and the areas on standard output");
    o.steps = std::make_unique<probe::StepOptions>(*o.app);
    o.app->footer(
        std::string(probe::StepOptions::kImplicitFrameNote) +
        " The picture has the size of the gauge's background bitmap (its root element's) times "
        "the scale; what lies outside it is cut off. Pure black in a bitmap is transparent.\n"
        "Exit status: 0; 1 if the picture was written but something could not be drawn as asked "
        "(a missing bitmap, a font) or the module misbehaved, each problem on a line of the "
        "error output; 2 for a bad argument or module, or a file that cannot be written, and "
        "then nothing is written.");
}

RenderCommand::~RenderCommand() = default;

bool RenderCommand::selected() const {
    return options_->app->parsed();
}

int RenderCommand::run(std::ostream& out, std::ostream& err) const {
    const Options& o = *options_;
    Request request;
    request.module = o.module->as<std::string>();
    request.out = o.out->as<std::string>();
    request.night = o.night->count() > 0;
    request.areas = o.areas->count() > 0;
    auto usage = [&](const std::string& message) {
        err << "gaugehost render: " << message << '\n';
        return kRenderBadUsage;
    };
    if (o.scale->count() > 0) {
        const std::string text = o.scale->as<std::string>();
        ErrorOr<std::uint32_t> scale = probe::parseUnsigned(text, render::kMaxScale);
        if (scale.isError()) return usage("--scale " + text + ": " + scale.error().message);
        if (scale.value() == 0) return usage("--scale 0: the scale is at least 1");
        request.scale = static_cast<int>(scale.value());
    }
    ErrorOr<probe::SessionPlan> plan = o.steps->read();
    if (plan.isError()) return usage(plan.error().message);
    request.plan = plan.release();
    return render(request, out, err);
}

} // namespace k729::host::view
