// How long one frame of the full K729 panel takes: drawing alone, the gauges'
// frames with the drawing, and the PNG a run writes for it. The panel is the
// built-in one; its modules are found beside this program, and the ones not
// built yet are drawn as placeholders.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <iostream>
#include <memory>

#include "k729host/host.h"
#include "k729host/platform.h"
#include "k729host/sound.h"
#include "k729panel/apng.h"
#include "k729panel/embedded.h"
#include "k729panel/panel_view.h"

namespace {

using namespace k729;

struct Bench {
    host::Host host;
    panel::Panel layout;
    std::vector<panel::PlacedGauge> gauges;
    std::size_t built = 0;

    Bench() {
        host::prepareSound(host::SoundMode::Present); // before the first module loads
        host::ErrorOr<panel::Panel> parsed =
            panel::parsePanel(panel::kEmbeddedPanel, panel::kEmbeddedPanelName);
        if (parsed.isError()) throw std::runtime_error(parsed.error().message);
        layout = parsed.release();
        std::vector<std::string> warnings;
        auto opened =
            panel::openGauges(host, layout, host::platform().executableFolder(), warnings);
        if (opened.isError()) throw std::runtime_error(opened.error().message);
        gauges = opened.release();
        // Lit lamps and labels: every element has something to draw.
        for (VarToken token : {364u, 575u, 573u, 67u, 68u})
            host.variables().set(token, host::StoredValue::ofNumber(1.0));
        for (panel::PlacedGauge& g : gauges)
            if (g.session) {
                g.session->frame();
                ++built;
            }
    }
};

// One host per process: every benchmark shares it.
Bench& bench() {
    static Bench b;
    return b;
}

render::Surface frameFor(const Bench& b, int scale) {
    return render::Surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, b.layout.width * scale,
                                                      b.layout.height * scale));
}

void drawOnly(benchmark::State& state) {
    Bench& b = bench();
    const int scale = static_cast<int>(state.range(0));
    render::Surface frame = frameFor(b, scale);
    std::vector<panel::DrawProblem> problems;
    for (auto _ : state) {
        panel::drawPanel(frame.get(), b.layout, b.gauges, {scale, false, false}, problems);
        benchmark::ClobberMemory();
    }
    state.counters["gauges built"] = static_cast<double>(b.built);
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void frameAndDraw(benchmark::State& state) {
    Bench& b = bench();
    render::Surface frame = frameFor(b, 1);
    std::vector<panel::DrawProblem> problems;
    for (auto _ : state) {
        for (panel::PlacedGauge& g : b.gauges)
            if (g.session) g.session->frame();
        panel::drawPanel(frame.get(), b.layout, b.gauges, {1, false, false}, problems);
        benchmark::ClobberMemory();
    }
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void encodeFramePng(benchmark::State& state) {
    Bench& b = bench();
    render::Surface frame = frameFor(b, 1);
    std::vector<panel::DrawProblem> problems;
    panel::drawPanel(frame.get(), b.layout, b.gauges, {1, false, false}, problems);
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::vector<std::uint8_t> png = panel::encodePng(frame.get());
        bytes = png.size();
        benchmark::DoNotOptimize(png.data());
    }
    state.counters["PNG bytes"] = static_cast<double>(bytes);
}

} // namespace

BENCHMARK(drawOnly)->Name("panel/draw")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(frameAndDraw)->Name("panel/frame+draw")->Unit(benchmark::kMillisecond);
BENCHMARK(encodeFramePng)->Name("panel/encode PNG")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
