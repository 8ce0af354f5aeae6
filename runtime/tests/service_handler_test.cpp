// The service handler template, by service code, against a loader double that
// counts library references and a host double that records lookups.
#include <gtest/gtest.h>

#include <algorithm>

#include "fake_host.h"
#include "fake_loader.h"
#include "k729/service.h"

using namespace k729;
using fake_loader::Library;

namespace {

// Each test instantiates the template with its own tag, so it starts from a
// freshly loaded module: empty binding, latch 0, refresh values 0.0.
template <int Tag> struct TestGauge {
    static inline ModuleVar refreshList[3] = {moduleVar(626), moduleVar(645), moduleVar(17)};
    static inline std::vector<std::string>* log = nullptr;
    static void install() { log->push_back("install"); }
    static void firstDraw() { log->push_back("firstDraw"); }
    static void kill() { log->push_back("kill"); }
};

template <int Tag> struct Module {
    using Gauge = TestGauge<Tag>;
    using Service = GaugeServiceHandler<Gauge>;
    explicit Module(std::vector<std::string>& log) { Gauge::log = &log; }
    void operator()(std::uint32_t code) { Service::handle(nullptr, code, 0); }
    const SoundBinding& binding() const { return Service::soundBinding; }
    FirstDrawLatch latch() const { return Service::firstDrawLatch; }
};

class ServiceHandler : public ::testing::Test {
protected:
    fake_host::Calls& host = fake_host::install();
    fake_loader::State& loader = fake_loader::reset();
};

TEST_F(ServiceHandler, CodesWithoutMeaningDoNothing) {
    std::vector<std::string>& log = loader.events;
    Module<__LINE__> module(log);
    for (std::uint32_t code : {0u, 1u, 3u, 5u, 7u, 8u, 9u, 11u, 13u, 14u, 100u, 0xFFFFFFFFu}) {
        module(code);
        EXPECT_TRUE(log.empty()) << "code " << code;
        EXPECT_TRUE(host.lookups.empty()) << "code " << code;
        EXPECT_EQ(module.latch(), 0u) << "code " << code;
        EXPECT_EQ(module.binding().library, nullptr) << "code " << code;
    }
}

TEST_F(ServiceHandler, ReferencesAcrossTwoLives) {
    std::vector<std::string> log;
    Module<__LINE__> module(log);

    module(PreInstall);
    EXPECT_EQ(loader.references, 0);

    module(PreInitialise); // the first initialisation loads
    EXPECT_EQ(loader.references, 1);
    EXPECT_EQ(loader.loadCalls, 1);
    EXPECT_NE(module.binding().terminate, nullptr);

    module(PreUpdate); // finds the library loaded: no new reference
    module(PreUpdate);
    EXPECT_EQ(loader.references, 1);
    EXPECT_EQ(loader.loadCalls, 1);

    module(PreKill); // terminates, then releases the one reference
    EXPECT_EQ(loader.terminateCalls, 1);
    EXPECT_EQ(loader.references, 0);
    EXPECT_NE(module.binding().library, nullptr) << "the handle is never set back to null";

    module(PreInitialise); // the handle is not null: nothing is loaded
    EXPECT_EQ(loader.loadCalls, 1);
    EXPECT_EQ(loader.references, 0);
    EXPECT_EQ(loader.staleLookups, 0) << "an unloaded library's handle was asked for entries";
    EXPECT_EQ(module.binding().terminate, nullptr);

    module(PreUpdate); // finds nothing loaded, so loads
    EXPECT_EQ(loader.loadCalls, 2);
    EXPECT_EQ(loader.references, 1);

    module(PreKill);
    EXPECT_EQ(loader.terminateCalls, 2);
    EXPECT_EQ(loader.references, 0);
}

TEST_F(ServiceHandler, UpdateBeforeInitialiseBindsOnItsOwn) {
    std::vector<std::string> log;
    Module<__LINE__> module(log);
    module(PreUpdate);
    EXPECT_EQ(loader.references, 1);
    EXPECT_NE(module.binding().play, nullptr);
    EXPECT_NE(module.binding().stop, nullptr);
    EXPECT_NE(module.binding().terminate, nullptr);
}

TEST_F(ServiceHandler, KillLoadsTerminatesAndReleases) {
    std::vector<std::string> log;
    Module<__LINE__> module(log);
    module(PreKill); // nothing loaded before
    EXPECT_EQ((std::vector<std::string>{"find", "load", "terminate", "free"}), loader.events);
    EXPECT_EQ(loader.references, 0);
    EXPECT_EQ(log, (std::vector<std::string>{"kill"}));
}

TEST_F(ServiceHandler, KillAdditionsRunAfterTheLibraryIsReleased) {
    std::vector<std::string>& log = loader.events; // one log for both
    Module<__LINE__> module(log);
    module(PreInitialise);
    log.clear();
    module(PreKill);
    EXPECT_EQ(log, (std::vector<std::string>{"find", "terminate", "free", "kill"}));
}

TEST_F(ServiceHandler, MissingLibraryIsRetriedEveryUpdateAndNeverCalled) {
    fake_loader::reset(Library::Absent);
    std::vector<std::string> log;
    Module<__LINE__> module(log);
    module(PreInitialise);
    module(PreUpdate);
    module(PreUpdate);
    EXPECT_EQ(loader.loadCalls, 3);
    EXPECT_EQ(module.binding().library, nullptr);
    EXPECT_EQ(module.binding().play, nullptr);
    module(PreKill);
    EXPECT_EQ(loader.terminateCalls, 0);
    EXPECT_EQ(loader.freeCalls, 0);
    EXPECT_EQ(log, (std::vector<std::string>{"kill"}));
}

TEST_F(ServiceHandler, LibraryWithoutTerminateIsStillReleased) {
    fake_loader::reset(Library::NoTerminate);
    std::vector<std::string> log;
    Module<__LINE__> module(log);
    module(PreInitialise);
    EXPECT_EQ(module.binding().terminate, nullptr);
    EXPECT_NE(module.binding().play, nullptr);
    module(PreKill);
    EXPECT_EQ(loader.terminateCalls, 0);
    EXPECT_EQ(loader.references, 0);
}

TEST_F(ServiceHandler, FirstDrawLatchHoldsAcrossKillAndReinitialise) {
    std::vector<std::string> log;
    Module<__LINE__> module(log);
    EXPECT_EQ(module.latch(), 0u);
    module(PreDraw);
    EXPECT_EQ(module.latch(), 1u);
    module(PreDraw);
    module(PreKill);
    module(PreInitialise);
    module(PreUpdate);
    module(PreDraw);
    EXPECT_EQ(module.latch(), 1u);
    EXPECT_EQ(std::count(log.begin(), log.end(), "firstDraw"), 1);
}

TEST_F(ServiceHandler, RefreshListIsLookedUpInOrderEveryUpdate) {
    std::vector<std::string> log;
    Module<__LINE__> module(log);
    using Gauge = decltype(module)::Gauge;
    host.variables = {{626, 4.5}, {645, 80.0}};
    for (const ModuleVar& var : Gauge::refreshList)
        EXPECT_EQ(var.value, 0.0);

    module(PreInitialise);
    module(PreDraw);
    EXPECT_TRUE(host.lookups.empty()) << "only pre-update refreshes";

    module(PreUpdate);
    EXPECT_EQ(host.lookups, (std::vector<VarToken>{626, 645, 17}));
    EXPECT_EQ(Gauge::refreshList[0].value, 4.5);
    EXPECT_EQ(Gauge::refreshList[1].value, 80.0);
    EXPECT_EQ(Gauge::refreshList[2].value, 0.0);

    host.variables[626] = 6.0;
    module(PreUpdate);
    EXPECT_EQ(host.lookups.size(), 6u);
    EXPECT_EQ(Gauge::refreshList[0].value, 6.0);
}

TEST_F(ServiceHandler, InstallAdditionRunsAtPreInstallOnly) {
    std::vector<std::string> log;
    Module<__LINE__> module(log);
    module(PreInstall);
    EXPECT_EQ(log, (std::vector<std::string>{"install"}));
    EXPECT_EQ(loader.loadCalls + loader.findCalls, 0);
}

TEST(ServiceHandlerWithoutAdditions, RunsEveryCode) {
    fake_host::Calls& host = fake_host::install();
    fake_loader::State& loader = fake_loader::reset();
    using Service = GaugeServiceHandler<NoServiceAdditions>;
    for (std::uint32_t code : {PreInstall, PreInitialise, PreUpdate, PreDraw, PreKill})
        Service::handle(nullptr, code, 0);
    EXPECT_TRUE(host.lookups.empty());
    EXPECT_EQ(loader.references, 0);
    EXPECT_EQ(Service::firstDrawLatch, 1u);
}

} // namespace
