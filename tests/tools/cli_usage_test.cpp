// The command line as a new user meets it: options before or after their
// sub-command, the work directory checked the same way by every command,
// inputs parsed fully or refused, the model table behind `models`,
// `template new` and `--model`.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "SampleWork.h"
#include "common/ModelTable.h"

namespace {

namespace fs = std::filesystem;
using zw::test::Quote;
using Outcome = zw::test::ToolOutcome;

struct Case {
  std::string args;  // {W}: the sample work directory, {T}: the sample terrain tile
  int exitCode;
  std::string expect;  // in stdout + stderr
};

class CliUsageTest : public zw::test::SampleWorkTest {
 protected:
  Outcome Run(std::string args) {
    for (auto [key, value] : {std::pair{"{W}", Quote(work())}, std::pair{"{T}", Quote(zw::test::Tile())}})
      for (auto at = args.find(key); at != std::string::npos; at = args.find(key)) args.replace(at, 3, value);
    return SampleWorkTest::Run(args);
  }
  void Check(const Case& c) {
    const Outcome o = Run(c.args);
    EXPECT_EQ(o.exitCode, c.exitCode) << c.args << "\n" << o.out << o.err;
    EXPECT_NE((o.out + o.err).find(c.expect), std::string::npos) << c.args << "\n" << o.out << o.err;
  }
};

// (Their refusals, e.g. an unknown task or work directory: the tests/bad corpus.)
TEST_F(CliUsageTest, GroupOptionsGoBeforeOrAfterTheirSubcommand) {
  const Case cases[] = {
      {"task list --workdir {W}", 0, "0000002  COVERAGE"},
      {"task --workdir {W} list", 0, "0000001  COVERAGE"},
      {"task list --silent --workdir {W}", 0, "0000001  COVERAGE"},
      {"task show 1 --workdir {W}", 0, "Task 0000001: Sample"},
      {"task summary 1 --workdir {W}", 0, "Task ID: 0000001"},
  };
  for (const Case& c : cases) Check(c);
}

// Coordinates and heights are read whole in every form accepted (their
// refusals, exit 2: the tests/bad corpus).
TEST_F(CliUsageTest, InputsInEveryAcceptedFormAreReadWhole) {
  const std::string path = " --dem {T} --to 44.30,-71.20 --freq 98.5 --tx-agl 100 --model LR --json";
  using std::string;
  const Case cases[] = {
      {"p2p --from '44 26 11.4 N, 71 24 47.16 W' --rx-agl 9.1" + path, 0, "\"path_length_m\": 2277"},
      {"p2p --from '44:26:11.4N 71d24m47.16sW' --rx-agl 9.1" + path, 0, "\"path_length_m\": 2277"},
      {"geo convert --from NAD83 --to WGS84 '44 26 11.4 N' '71 24 47.2 W'", 0, "44.4365"},
      {"geo text -71.4131 LT", 0, "71 24 47.16 S"},  // a valid southern latitude
      {"geo text -71.4131 LN", 0, "71 24 47.16 W"},
      {"geo text 71.4131 LN", 0, "71 24 47.16 E"},
      // The text output in the user's units; JSON keeps its named units.
      {"p2p --from 44.4365,-71.4131 --rx-agl 9.1 --dem {T} --to 44.30,-71.20 --freq 98.5 --tx-agl 100 --model LR "
       "--units imperial --power W",
       0, "Path length:      14.150 mi"},
      {"p2p --from 44.4365,-71.4131 --rx-agl 9.1 --dem {T} --to 44.30,-71.20 --freq 98.5 --tx-agl 100 --model LR "
       "--power W",
       0, "Received power:               1.58 nW"},
  };
  for (const Case& c : cases) Check(c);
}

// The sample studies come from the data the program finds, wherever it runs.
TEST_F(CliUsageTest, SampleTasksAreNamedAndFoundFromAnyDirectory) {
  fs::create_directories(tmp.path() / "fresh");
  Check({"task sample --workdir " + Quote(tmp.path() / "fresh"), 0, "1 radial study\n2 tile study\n"});
  Check({"task list --workdir " + Quote(tmp.path() / "fresh"), 0, "0000002  COVERAGE"});
}

// docs/models.md holds, between its markers, exactly what `models --markdown`
// writes: a change of the model table that is not in the document fails here.
TEST_F(CliUsageTest, ModelsDocumentIsUpToDate) {
  const fs::path doc = fs::path(RAVO_DATA_DIR) / ".." / "docs" / "models.md";
  const std::string text = zw::test::ReadAll(doc);
  const std::string begin = "<!-- ravoprop models --markdown: begin -->\n", end = "<!-- ravoprop models --markdown: end -->";
  const auto a = text.find(begin), b = text.find(end);
  ASSERT_TRUE(a != std::string::npos && b != std::string::npos && a < b) << doc << " lacks its markers";
  const Outcome o = Run("models --markdown");
  ASSERT_EQ(o.exitCode, 0) << o.err;
  EXPECT_TRUE(text.substr(a + begin.size(), b - a - begin.size()) == o.out)
      << doc << " is stale: put the output of `ravoprop models --markdown` between its markers";
}

// A new user's path to a result: list the models, write each one's template,
// run it as written over the sample terrain; the same with --model alone and
// the names people type (an unknown name or none: the tests/bad corpus).
TEST_F(CliUsageTest, EveryModelRunsFromItsNewTemplateAndFromItsName) {
  const Outcome list = Run("models");
  ASSERT_EQ(list.exitCode, 0) << list.err;
  for (const auto& code : zw::ModelCodes())
    EXPECT_NE(list.out.find("\n" + code + " "), std::string::npos) << code << "\n" << list.out;
  const Outcome one = Run("models bu");
  EXPECT_EQ(one.exitCode, 0);
  for (const char* text : {"LOSS_MODE", "FIGURE 12", "text (up to 14 characters)", "field strength in dBu"})
    EXPECT_NE(one.out.find(text), std::string::npos) << text << "\n" << one.out;

  const std::string path = " --dem {T} --from 44.4365,-71.4131 --to 44.30,-71.20 --tx-agl 100 --rx-agl 9.1 --json";
  for (const auto& code : zw::ModelCodes()) {
    const fs::path file = tmp.path() / (code + ".ini");
    const Outcome made = Run("template new " + code + " -o " + Quote(file));
    ASSERT_EQ(made.exitCode, 0) << code << made.err;
    const std::string freq = code == "CX" || code == "CG" || code == "CA" ? "880" : code == "SM" ? "860" : "98.5";
    const Outcome run = Run("p2p --template " + Quote(file) + " --freq " + freq + path);
    EXPECT_EQ(run.exitCode, 0) << code << "\n" << run.err << run.out;
    const zw::ModelQuantity q = zw::ModelResultOf(code);
    EXPECT_NE(run.out.find("\"unit\": \"" + q.unit + "\""), std::string::npos) << code << run.out;
    // Written once, never overwritten unasked.
    const Outcome again = Run("template new " + code + " -o " + Quote(file));
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find("--force"), std::string::npos) << again.err;
  }
  const std::pair<const char*, const char*> names[] = {
      {"Hata", "HD"},         {"Shadowing", "SH"},   {"'Carey 94-201'", "CX"}, {"'Longley-Rice'", "LR"},
      {"'shadow - fixed angle'", "SH"}, {"egli", "EG"}, {"CGSA", "CG"},        {"SMR", "SM"}};
  // (SF runs on the SH calculator, which names itself SH.)
  for (const auto& [name, code] : names) {
    const Outcome run = Run(std::string("p2p --model ") + name + " --freq 880" + path);
    EXPECT_EQ(run.exitCode, 0) << name << "\n" << run.err;
    EXPECT_NE(run.out.find(std::string("\"model\": \"") + code + "\""), std::string::npos) << name << run.out;
  }
}

}  // namespace
