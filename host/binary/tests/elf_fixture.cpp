// The ELF reader's fixture library: what it defines and exports is known.
#define FIXTURE_EXPORT __attribute__((visibility("default")))

extern "C" {
FIXTURE_EXPORT int fixtureObject = 1;
FIXTURE_EXPORT int fixtureFunction() {
    return 2;
}
FIXTURE_EXPORT __attribute__((weak)) int fixtureWeak = 3;
__attribute__((visibility("hidden"))) int fixtureHidden = 4;
// Declared extern first: a const object would otherwise be local to the file.
FIXTURE_EXPORT extern const char fixtureBytes[4];
__attribute__((used, section(".fixture.bytes"))) const char fixtureBytes[4] = {'K', '7', '2', '9'};
}
