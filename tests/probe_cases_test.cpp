// Runs every case of probe_cases.txt through the native gaugehost and checks
// its expectations against the JSON the probe prints. The Wine stage runs the
// same cases and requires the Windows build to print the same.
//
// An expectation is `POINTER=JSON` (equal), `POINTER^="text"` (a text that
// starts so) or `POINTER.size=N` (length of a text or an array), where
// POINTER is a JSON pointer such as /elements/1/values/value.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

struct ProbeCase {
    std::string name;
    std::string module;
    std::string steps;
    std::vector<std::string> expectations;
    int line = 0;
};

void PrintTo(const ProbeCase& c, std::ostream* out) {
    *out << c.name << " (line " << c.line << ")";
}

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::vector<std::string> split(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(separator, start)) != std::string::npos;) {
        parts.push_back(text.substr(start, at - start));
        start = at + separator.size();
    }
    parts.push_back(text.substr(start));
    return parts;
}

std::vector<ProbeCase> readCases() {
    std::ifstream file(K729_PROBE_CASES);
    std::vector<ProbeCase> cases;
    std::string text;
    for (int line = 1; std::getline(file, text); ++line) {
        text = trim(text);
        if (text.empty() || text[0] == '#') continue;
        if (text.back() == '|') text += ' '; // an empty last field
        std::vector<std::string> fields = split(text, " | ");
        ProbeCase c;
        c.name = trim(fields[0]);
        c.line = line;
        if (fields.size() > 1) c.module = trim(fields[1]);
        if (fields.size() > 2) c.steps = trim(fields[2]);
        if (fields.size() > 3) {
            std::istringstream words(fields[3]);
            for (std::string word; words >> word;)
                c.expectations.push_back(word);
        }
        cases.push_back(c);
    }
    return cases;
}

struct Output {
    int status;
    std::string text;
};

Output runProbe(const ProbeCase& c) {
    const std::string command = std::string(K729_GAUGEHOST) + " probe " + K729_MODULE_DIR + "/" +
                                c.module + ".gau " + c.steps + " 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string text;
    std::array<char, 4096> chunk;
    for (std::size_t n; (n = std::fread(chunk.data(), 1, chunk.size(), pipe.get())) > 0;)
        text.append(chunk.data(), n);
    const int status = pclose(pipe.release());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
}

void check(const json& output, const std::string& expectation) {
    SCOPED_TRACE(expectation);
    std::string pointer, op, expected;
    if (auto at = expectation.find("^="); at != std::string::npos)
        pointer = expectation.substr(0, at), op = "^=", expected = expectation.substr(at + 2);
    else if (auto at = expectation.find(".size="); at != std::string::npos)
        pointer = expectation.substr(0, at), op = ".size=", expected = expectation.substr(at + 6);
    else if (auto at = expectation.find('='); at != std::string::npos)
        pointer = expectation.substr(0, at), op = "=", expected = expectation.substr(at + 1);
    ASSERT_FALSE(op.empty()) << "no operator";

    const json::json_pointer where(pointer);
    ASSERT_TRUE(output.contains(where)) << "missing " << pointer;
    const json& actual = output.at(where);
    const json wanted = json::parse(expected);
    if (op == "=") {
        EXPECT_EQ(actual, wanted) << pointer;
    } else if (op == "^=") {
        ASSERT_TRUE(actual.is_string()) << pointer;
        EXPECT_TRUE(actual.get<std::string>().starts_with(wanted.get<std::string>()))
            << pointer << " is " << actual;
    } else {
        const std::size_t size =
            actual.is_string() ? actual.get<std::string>().size() : actual.size();
        EXPECT_EQ(size, wanted.get<std::size_t>()) << pointer;
    }
}

class ProbeCases : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(ProbeCases, MeetsItsExpectations) {
    const ProbeCase& c = GetParam();
    SCOPED_TRACE("probe_cases.txt:" + std::to_string(c.line) + " " + c.module + " " + c.steps);
    const Output out = runProbe(c);
    ASSERT_EQ(out.status, 0) << out.text;
    const json output = json::parse(out.text);
    EXPECT_EQ(output.at("gauge"), c.module);
    EXPECT_FALSE(output.contains("errors")) << output["errors"];
    for (const std::string& expectation : c.expectations)
        check(output, expectation);
}

INSTANTIATE_TEST_SUITE_P(Instruments, ProbeCases, ::testing::ValuesIn(readCases()),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

} // namespace
