// The gaugehost program: its command line, its report and its exit status,
// run as a user runs it.
#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "probe/probe.h"
#include "test_support.h"

namespace k729::host::probe {
namespace {

using test::runGaugehost;
using test::testModulePath;
using Json = nlohmann::ordered_json;

const std::string kKinds = testModulePath("HostFixtureKinds");

Json reportOf(const test::ProgramResult& result) {
    EXPECT_EQ(result.out.find('\n'), result.out.size() - 1) << "one line: " << result.out;
    return Json::parse(result.out);
}

TEST(ProbeProgram, Gen2ReportAsDocumented) {
    test::ProgramResult result = runGaugehost(
        {"probe", test::gaugePath("QT_K729_Gen2Btn"), "--set", "575=1", "--click", "1,0"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, R"({"gauge":"QT_K729_Gen2Btn",)"
                          R"("module":{"id":19,"flags":0,"priority":0,"version":2048,"headers":1},)"
                          R"("header":{"version":800,"size":100},"tooltip":"Generator 2 Button",)"
                          R"("areas":[{"box":[1,0,40,39],"cursor":5,"flags":536870912}],)"
                          R"("elements":[{"kind":"StaticImage","bitmap":5120,"position":[0,0],)"
                          R"("drawFlags":131,"values":{}},)"
                          R"({"kind":"Icon","bitmap":4608,"position":[0,0],"drawFlags":135,)"
                          R"("values":{"value":1}},)"
                          R"({"kind":"StringElement","bitmap":-1,"position":[2,6],"drawFlags":135,)"
                          R"("values":{"value":0},"text":"GEN2)" +
                              std::string(199, ' ') +
                              R"(0"}],"keyEvents":[[66364,0]],"namedVariables":{},)"
                              R"("sound":{"terminateCalls":0},"frames":1})"
                              "\n");
}

TEST(ProbeProgram, ReportsEveryKindWithExactNumbersAndUtf8Texts) {
    test::ProgramResult result =
        runGaugehost({"probe", kKinds, "--set", "100=nan", "--set", "101=-0", "--set", "102=0.1",
                      "--set", "103=-inf", "--set", "106=int:0xFFFFFFFF", "--set",
                      "109=text:\xE2\x82\xAC \xC2\xB0", "--frame"});
    ASSERT_EQ(result.status, 0) << result.err;
    Json report = reportOf(result);
    EXPECT_EQ(report["tooltip"], "Fixture \xC2\xB0 tip");
    const Json& elements = report["elements"];
    ASSERT_EQ(elements.size(), 7u);
    EXPECT_EQ(elements[1]["values"].dump(), R"({"value":"nan"})");
    EXPECT_EQ(elements[2]["values"].dump(), R"({"x":0.6,"y":"-inf"})");
    EXPECT_EQ(elements[3]["text"], "T=-0\xC2\xB0 \xE2\x82\xAC \xC2\xB0");
    EXPECT_EQ(elements[5]["values"].dump(), R"({"x":-1,"y":42})");
    EXPECT_EQ(elements[6]["values"].dump(), R"({"x":0,"y":0,"rot":0})");
    EXPECT_EQ(report["namedVariables"].dump(), R"({"FIXTURE_VALUE":8})");
    EXPECT_FALSE(report.contains("errors"));
}

TEST(ProbeProgram, ImplicitFrameComesBeforeTheFirstMouseOrKillStep) {
    // The frame runs before the click, so it sees the first value only.
    test::ProgramResult clicked = runGaugehost({"probe", kKinds, "--set", "100=1", "--click", "0,0",
                                                "--set", "100=5", "--hold", "12,12,2"});
    ASSERT_EQ(clicked.status, 0) << clicked.err;
    Json report = reportOf(clicked);
    EXPECT_EQ(report["frames"], 1);
    EXPECT_EQ(report["elements"][1]["values"]["value"], 2);
    EXPECT_EQ(report["keyEvents"].dump(), "[[1,0],[2,0],[2,0]]");

    // No mouse or kill step: the frame comes last.
    Json last = reportOf(runGaugehost({"probe", kKinds, "--set", "100=1", "--set", "100=5"}));
    EXPECT_EQ(last["elements"][1]["values"]["value"], 10);

    // An explicit frame replaces the implicit one.
    Json explicitFrames = reportOf(runGaugehost({"probe", kKinds, "--kill", "--frame", "--frame"}));
    EXPECT_EQ(explicitFrames["frames"], 2);
}

TEST(ProbeProgram, KillsAndServices) {
    // Killed by the steps: the report shows the named variable gone.
    Json killed = reportOf(runGaugehost({"probe", kKinds, "--kill"}));
    EXPECT_EQ(killed["frames"], 1);
    EXPECT_EQ(killed["namedVariables"].dump(), "{}");
    EXPECT_EQ(killed["sound"]["terminateCalls"], 1);

    // Pre-kill sent as a service code counts as the kill; other codes do
    // nothing, a second initialisation included.
    Json serviced = reportOf(
        runGaugehost({"probe", kKinds, "--service", "4", "--service", "0x63", "--service", "12"}));
    EXPECT_EQ(serviced["sound"]["terminateCalls"], 1);
    EXPECT_FALSE(serviced.contains("errors"));
}

TEST(ProbeProgram, SoundLibraryPresentAbsentOrWithoutTerminate) {
    struct Case {
        const char* mode;
        int afterKill;
    };
    const Case cases[] = {{"present", 1}, {"absent", 0}, {"no-terminate", 0}};
    for (const std::string& gauge : {kKinds, test::gaugePath("QT_K729_Gen2Btn")}) {
        for (const Case& c : cases) {
            test::ProgramResult killed =
                runGaugehost({"probe", gauge, "--sound", c.mode, "--kill", "--kill"});
            ASSERT_EQ(killed.status, 0) << killed.err;
            EXPECT_EQ(reportOf(killed)["sound"]["terminateCalls"], 2 * c.afterKill)
                << gauge << " " << c.mode;
            // Without a kill step the count is read before the closing kill.
            test::ProgramResult notKilled = runGaugehost({"probe", gauge, "--sound", c.mode});
            EXPECT_EQ(reportOf(notKilled)["sound"]["terminateCalls"], 0) << c.mode;
        }
    }
    // The default is present.
    EXPECT_EQ(reportOf(runGaugehost({"probe", kKinds, "--kill"}))["sound"]["terminateCalls"], 1);
}

TEST(ProbeProgram, ModuleFaultsAreListedWithStatusOne) {
    test::ProgramResult result =
        runGaugehost({"probe", testModulePath("HostFixtureFaulty"), "--text-buffer", "4"});
    EXPECT_EQ(result.status, 1);
    Json report = reportOf(result);
    EXPECT_EQ(report["errors"].dump(),
              R"(["element 0 (StringElement): text written outside its 4-byte buffer",)"
              R"("element 0 (StringElement): text has no NUL within its 4-byte buffer",)"
              R"("element 1 (StringElement): text has no NUL within its 4-byte buffer",)"
              R"("host entry 47: unexpected call"])");
    EXPECT_EQ(report["elements"][0]["text"], "xxxx");

    test::ProgramResult cycle = runGaugehost({"probe", testModulePath("HostFixtureCycle")});
    EXPECT_EQ(cycle.status, 1);
    EXPECT_EQ(reportOf(cycle)["errors"].size(), 1u);
}

TEST(ProbeProgram, BadArgumentsAndModulesGiveOneLineAndStatusTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"probe"},
        {"probe", kKinds, "--bogus"},
        {"probe", kKinds, "extra"},
        {"probe", kKinds, "--set"},
        {"probe", kKinds, "--set", "575"},
        {"probe", kKinds, "--set", "575=abc"},
        {"probe", kKinds, "--set", "575=int:2147483648"},
        {"probe", kKinds, "--set", "575=text:\xE2\x9C\x93"},
        {"probe", kKinds, "--click", "1"},
        {"probe", kKinds, "--click", "1,2,3"},
        {"probe", kKinds, "--hold", "1,2"},
        {"probe", kKinds, "--hold", "1,2,0"},
        {"probe", kKinds, "--service", "-1"},
        {"probe", kKinds, "--text-buffer", "1048577"},
        {"probe", kKinds, "--text-buffer", "1", "--text-buffer", "2"},
        {"probe", kKinds, "--sound", "loud"},
        {"probe", test::binFolder() + "/no-such-module.gau"},
        {"probe", test::temporaryFile("notes.gau", "not a module")},
        {"probe", test::soundLibraryPath()},
        {"probe", testModulePath("MalformedNoImportTable")},
        {"probe", testModulePath("MalformedBadId")},
    };
    for (const std::vector<std::string>& arguments : cases) {
        std::string shown;
        for (const std::string& argument : arguments)
            shown += argument + " ";
        test::ProgramResult result = runGaugehost(arguments);
        EXPECT_EQ(result.status, 2) << shown;
        EXPECT_EQ(result.out, "") << shown;
        EXPECT_FALSE(result.err.empty()) << shown;
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << shown << "\n" << result.err;
        EXPECT_EQ(result.err.rfind("gaugehost", 0), 0u) << shown << "\n" << result.err;
    }
}

TEST(ProbeProgram, HelpOnEveryCommand) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--help"}, std::vector<std::string>{"probe", "--help"}}) {
        test::ProgramResult result = runGaugehost(arguments);
        EXPECT_EQ(result.status, 0);
        EXPECT_NE(result.out.find("probe"), std::string::npos);
    }
    EXPECT_NE(runGaugehost({"probe", "--help"}).out.find("--text-buffer"), std::string::npos);
}

// The command line in-process: the steps keep their order across options.
TEST(ProbeCommandLine, StepsInCommandLineOrder) {
    CLI::App app;
    app.allow_windows_style_options(false);
    ProbeCommand command(app);
    std::vector<const char*> argv = {
        "gaugehost", "probe",  "m.gau",          "--set",  "1=2",   "--frame", "--set",     "1=3",
        "--click",   "4,5",    "--kill",         "--hold", "6,7,8", "--frame", "--service", "0x10",
        "--sound",   "absent", "--text-buffer=0"};
    app.parse(static_cast<int>(argv.size()), argv.data());
    ErrorOr<ProbeOptions> options = command.options();
    ASSERT_FALSE(options.isError()) << options.error().message;
    EXPECT_EQ(options.value().module, "m.gau");
    EXPECT_EQ(options.value().sound, SoundMode::Absent);
    EXPECT_EQ(options.value().textBufferBytes, 0u);
    const std::vector<Step>& steps = options.value().steps;
    std::vector<std::size_t> order;
    for (const Step& step : steps)
        order.push_back(step.index());
    // SetStep 0, FrameStep 1, ClickStep 2, HoldStep 3, KillStep 4, ServiceStep 5
    EXPECT_EQ(order, (std::vector<std::size_t>{0, 1, 0, 2, 4, 3, 1, 5}));
    EXPECT_EQ(std::get<SetStep>(steps[2]).assignment.value.number, 3.0);
    EXPECT_EQ(std::get<ClickStep>(steps[3]).point.y, 5);
    EXPECT_EQ(std::get<HoldStep>(steps[5]).hold.repeats, 8u);
    EXPECT_EQ(std::get<ServiceStep>(steps[7]).code, 16u);
}

TEST(ProbeCommandLine, ImplicitFramePlacement) {
    auto kinds = [](const std::vector<Step>& steps) {
        std::vector<std::size_t> out;
        for (const Step& step : steps)
            out.push_back(step.index());
        return out;
    };
    const Step set = SetStep{}, frame = FrameStep{}, click = ClickStep{}, hold = HoldStep{},
               kill = KillStep{}, service = ServiceStep{};
    EXPECT_EQ(kinds(withImplicitFrame({})), kinds({frame}));
    EXPECT_EQ(kinds(withImplicitFrame({set, service})), kinds({set, service, frame}));
    EXPECT_EQ(kinds(withImplicitFrame({set, hold, click})), kinds({set, frame, hold, click}));
    EXPECT_EQ(kinds(withImplicitFrame({service, kill, set})), kinds({service, frame, kill, set}));
    EXPECT_EQ(kinds(withImplicitFrame({kill, frame})), kinds({kill, frame}));
}

} // namespace
} // namespace k729::host::probe
