// A new user's walk, from an empty directory, with the commands the
// documentation shows and nothing else: the models listed, a template of each
// written and run point to point (docs/models.md), the first study of the
// README (radials), the same site as a tile study, both run, exported and
// shown, and a D/U table started and checked (docs/dtou.md). No INI file is
// edited by hand.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TempDir.h"
#include "ToolRun.h"

namespace {

namespace fs = std::filesystem;

const fs::path kSource = fs::path(RAVO_TEST_DIR).parent_path();

std::string Replace(std::string s, const std::string& from, const std::string& to) {
  for (auto at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) s.replace(at, from.size(), to);
  return s;
}

// The shell lines of a documentation file's code blocks (continuations joined,
// comments dropped) that start with `ravoprop`, from the heading `from` on
// (the whole file when empty) to the next heading of the same level.
std::vector<std::string> Commands(const fs::path& file, const std::string& from = {}) {
  std::ifstream in(file);
  std::vector<std::string> out;
  std::string line, joined;
  bool inBlock = false, inPart = from.empty();
  while (std::getline(in, line)) {
    if (!from.empty() && line.rfind("## ", 0) == 0) inPart = line == from;
    if (!inPart) continue;
    if (line.rfind("```", 0) == 0) {
      inBlock = !inBlock;
      continue;
    }
    if (!inBlock) continue;
    if (const auto hash = line.find("  #"); hash != std::string::npos) line.erase(hash);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    if (!line.empty() && line.back() == '\\') {
      joined += line.substr(0, line.size() - 1);
      continue;
    }
    joined += line;
    if (joined.rfind("ravoprop ", 0) == 0) out.push_back(joined);
    joined.clear();
  }
  return out;
}

class NewUserWalk : public ::testing::Test {
 protected:
  // Runs a documented command in the empty directory; the terrain path of the
  // documents stands for the source tree's.
  zw::test::ToolOutcome Run(const std::string& documented) {
    const std::string args = Replace(documented.substr(std::string("ravoprop ").size()), "data/terrain/",
                                     (kSource / "data" / "terrain").string() + "/");
    const fs::path before = fs::current_path();
    fs::current_path(dir());
    const auto o = zw::test::RunTool(tmp.path(), args);
    fs::current_path(before);
    return o;
  }
  // Runs it and expects exit 0 and the given text in its output.
  std::string Ok(const std::string& documented, const std::string& expect = {}) {
    const auto o = Run(documented);
    EXPECT_EQ(o.exitCode, 0) << documented << "\n" << o.out << o.err;
    EXPECT_NE((o.out + o.err).find(expect), std::string::npos) << documented << "\n" << o.out << o.err;
    return o.out;
  }
  fs::path dir() const { return tmp.path() / "walk"; }
  void SetUp() override { fs::create_directories(dir()); }
  zw::test::TempDir tmp;
};

TEST_F(NewUserWalk, ModelsTemplatesPointToPointAndTwoStudiesFromOptions) {
  // Every model: listed, its template written, a path computed with it.
  const std::string models = Ok("ravoprop models", "Code");
  const auto docs = Commands(kSource / "docs" / "models.md");
  int templates = 0, paths = 0;
  for (const auto& c : docs) {
    if (c.rfind("ravoprop template new ", 0) == 0) {
      const std::string code = c.substr(22, 2);
      EXPECT_NE(models.find("\n" + code + " "), std::string::npos) << code << " listed";
      Ok(c, "Wrote");
      ++templates;
    } else if (c.rfind("ravoprop p2p ", 0) == 0) {
      const std::string out = Ok(c);
      EXPECT_TRUE(out.find("dBu") != std::string::npos || out.find("Fresnel") != std::string::npos ||
                  out.find(" km") != std::string::npos)
          << c << "\n" << out;
      ++paths;
    }
  }
  EXPECT_EQ(templates, 13);
  EXPECT_EQ(paths, 13);

  // The README's first study: its radial study, and the same site as a tile study.
  const auto first = Commands(kSource / "README.md", "## First study");
  ASSERT_EQ(first.size(), 5u);
  const std::string radial = first[0];
  ASSERT_NE(radial.find("task new"), std::string::npos);
  fs::create_directories(dir() / "study");
  EXPECT_EQ(Ok(radial), "1\n");
  const std::string tile =
      Replace(radial, "--radials 36 --distance 30 --step 1", "--tile 5km --step 500m --set CLIM_CODE=5");
  ASSERT_NE(tile, radial);
  EXPECT_EQ(Ok(tile), "2\n");
  for (const auto& c : first) {
    if (c == radial) continue;
    for (const char* task : {"1", "2"}) {
      std::string cmd = Replace(c, "--task 1", std::string("--task ") + task);
      cmd = Replace(cmd, "show 1", std::string("show ") + task);
      cmd = Replace(cmd, "coverage.png", std::string("coverage") + task + ".png");
      Ok(cmd, cmd.find("show") != std::string::npos ? "60 dBu" : "");
    }
  }
  EXPECT_TRUE(fs::is_regular_file(dir() / "coverage1.png"));
  EXPECT_TRUE(fs::is_regular_file(dir() / "coverage2.png"));
  EXPECT_NE(Ok("ravoprop task show 2 --workdir study").find("grid step 500 m"), std::string::npos);

  // A D/U table started and checked.
  for (const auto& c : Commands(kSource / "docs" / "dtou.md"))
    if (c.find("dtou new") != std::string::npos || c.find("dtou load --file rx.ini") != std::string::npos)
      Ok(c, "My RX");
}

}  // namespace
