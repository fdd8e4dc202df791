// The bad-input corpus of tests/bad run through the tool: every broken study or
// input is refused (non-zero exit, a message on stderr), within bounded time,
// without a crash or a sanitizer report, and leaves every input file exactly
// as it was.
//
// A case is a folder with a one-line README and case.txt:
//   command: run | p2p-task | p2p | import | tool   (one or more; tool: args as given)
//   args:    arguments of p2p / import ({case}, {work}, {tile} are replaced)
//   gen:     KIND|...   bulky or binary inputs made here (see Generate)
//   set:     FILE|Section|Key|Value   an INI edit; del: FILE|Section|Key; delsec: FILE|Section
//   expect:  a text the message must contain (one line each; {case}, {work} replaced)
//   exit:    the exit status wanted, when it matters; stdout: a text stdout must hold
//   known:   why the tool still accepts this input (checked for no crash, no
//            hang and, when refused, unchanged files; listed in the report)
//   skip:    why the case does not run by default (RAVO_SLOW_TESTS=1 runs it)
// Run cases start from a copy of data/sample with the case's files laid over
// it (args:, when given, stand for task 1 and the bundled tile); p2p and
// import cases work on a copy of the case folder.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "SampleWork.h"
#include "platform/Text.h"

namespace {

namespace fs = std::filesystem;
using zw::ToLower;
using zw::Trim;
using zw::test::ReadAll;

const fs::path kCases = fs::path(RAVO_TEST_DIR) / "bad";
const fs::path kSample = fs::path(RAVO_DATA_DIR) / "sample";
const fs::path kTile = zw::test::Tile();

void WriteAll(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

std::uint64_t Fnv1a(const std::string& bytes) {
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
  return h;
}

// Hash of every regular file under the folders.
std::map<fs::path, std::uint64_t> Snapshot(const std::vector<fs::path>& roots) {
  std::map<fs::path, std::uint64_t> out;
  for (const auto& root : roots) {
    if (!fs::exists(root)) continue;
    for (const auto& e : fs::recursive_directory_iterator(root))
      if (e.is_regular_file()) out[e.path()] = Fnv1a(ReadAll(e.path()));
  }
  return out;
}

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> out;
  std::istringstream in(s);
  for (std::string part; std::getline(in, part, sep);) out.push_back(part);
  if (s.empty() || s.back() == sep) out.push_back("");  // the empty last part
  return out;
}
std::string ReplaceAll(std::string s, const std::string& from, const std::string& to) {
  for (std::size_t i = s.find(from); i != std::string::npos; i = s.find(from, i + to.size())) s.replace(i, from.size(), to);
  return s;
}

struct BadCase {
  std::vector<std::string> commands;
  std::string args;
  std::vector<std::vector<std::string>> steps;  // gen/set/del/delsec, first element the kind
  std::vector<std::string> expect;
  std::string exit, stdoutHas, known, skip;
};

BadCase ReadCase(const fs::path& file) {
  BadCase bad;
  std::istringstream in(ReadAll(file));
  std::string line;
  while (std::getline(in, line)) {
    const auto colon = line.find(':');
    if (Trim(line).empty() || line[0] == '#' || colon == std::string::npos) continue;
    const std::string key = Trim(line.substr(0, colon)), value = Trim(line.substr(colon + 1));
    if (key == "command") {
      std::istringstream w(value);
      for (std::string c; w >> c;) bad.commands.push_back(c);
    } else if (key == "args") {
      bad.args = value;
    } else if (key == "expect") {
      bad.expect.push_back(value);
    } else if (key == "exit") {
      bad.exit = value;
    } else if (key == "stdout") {
      bad.stdoutHas = value;
    } else if (key == "known") {
      bad.known = value;
    } else if (key == "skip") {
      bad.skip = value;
    } else {
      auto parts = Split(value, '|');
      parts.insert(parts.begin(), key);
      bad.steps.push_back(std::move(parts));
    }
  }
  return bad;
}

// INI edits on the text, so that a broken file stays as broken as it is.
std::string EditIni(const std::string& text, const std::string& kind, const std::string& section, const std::string& key,
                    const std::string& value) {
  std::vector<std::string> lines;
  {
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
  }
  auto isHeader = [](const std::string& l) { return !Trim(l).empty() && Trim(l)[0] == '['; };
  std::size_t head = lines.size();
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (ToLower(Trim(lines[i])) == "[" + ToLower(section) + "]") {
      head = i;
      break;
    }
  if (head == lines.size()) {
    if (kind != "set") return text;
    lines.push_back("[" + section + "]");
    head = lines.size() - 1;
  }
  std::size_t end = head + 1;
  while (end < lines.size() && !isHeader(lines[end])) ++end;
  if (kind == "delsec") {
    lines.erase(lines.begin() + static_cast<long>(head), lines.begin() + static_cast<long>(end));
  } else {
    std::size_t at = end;
    for (std::size_t i = head + 1; i < end; ++i) {
      const auto eq = lines[i].find('=');
      if (eq != std::string::npos && ToLower(Trim(lines[i].substr(0, eq))) == ToLower(key)) at = i;
    }
    if (kind == "del") {
      if (at != end) lines.erase(lines.begin() + static_cast<long>(at));
    } else if (at != end) {
      lines[at] = key + "=" + value;
    } else {
      std::size_t ins = end;
      while (ins > head + 1 && Trim(lines[ins - 1]).empty()) --ins;
      lines.insert(lines.begin() + static_cast<long>(ins), key + "=" + value);
    }
  }
  std::string out;
  for (const auto& l : lines) out += l + "\n";
  return out;
}

// Deterministic junk bytes.
std::string Junk(std::size_t n, std::uint64_t seed) {
  std::string s(n, '\0');
  for (auto& c : s) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    c = static_cast<char>(seed >> 56);
  }
  return s;
}

void PutLE(std::string& bytes, std::size_t at, std::uint64_t value, int size) {
  for (int i = 0; i < size && at + i < bytes.size(); ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xff);
}

void Generate(const fs::path& dir, const std::vector<std::string>& g, std::uint64_t seed) {
  const std::string& kind = g.at(1);
  const fs::path file = g.size() > 2 ? dir / g[2] : fs::path();
  if (kind == "truncate") {
    fs::resize_file(file, std::stoull(g.at(3)));
  } else if (kind == "cut-after") {
    const std::string text = ReadAll(file);
    const auto at = text.find(g.at(3));
    ASSERT_NE(at, std::string::npos) << g[3];
    WriteAll(file, text.substr(0, at + g[3].size()));
  } else if (kind == "junk") {
    WriteAll(file, Junk(std::stoull(g.at(3)), seed));
  } else if (kind == "zeros") {
    WriteAll(file, std::string(std::stoull(g.at(3)), '\0'));
  } else if (kind == "dir") {
    fs::remove(file);
    fs::create_directories(file);
  } else if (kind == "remove") {
    fs::remove(file);
  } else if (kind == "sample-copy" || kind == "sample-cut") {
    fs::copy_file(kSample / "T0000001.INI", file, fs::copy_options::overwrite_existing);
    if (kind == "sample-cut") fs::resize_file(file, std::stoull(g.at(3)));
  } else if (kind == "radials") {
    const int n = std::stoi(g.at(2));
    std::string text = "[Paths]\nNum Paths=" + std::to_string(n) + "\n";
    for (int i = 0; i < n; ++i) {
      text += "PATH" + std::to_string(i) + "=" + std::to_string(i + 1) + "|44.436500|-71.413100|" +
              std::to_string(360.0 * i / n) + "|44.5|-71.4|30|km||\n";
    }
    WriteAll(dir / "E0000001.INI", text);
    const fs::path task = dir / "T0000001.INI";
    WriteAll(task, EditIni(ReadAll(task), "set", "Quick Coverage", "Num Rad", std::to_string(n)));
  } else if (kind == "paths-field") {
    const std::size_t field = std::stoul(g.at(2));
    std::istringstream in(ReadAll(dir / "E0000001.INI"));
    std::string out;
    for (std::string l; std::getline(in, l);) {
      const auto eq = l.find('=');
      if (ToLower(l.substr(0, 4)) == "path" && eq != std::string::npos && ToLower(l.substr(0, eq)) != "paths") {
        auto f = Split(l.substr(eq + 1), '|');
        if (f.size() >= field) f[field - 1] = g.at(3);
        std::string v;
        for (std::size_t i = 0; i < f.size(); ++i) v += (i ? "|" : "") + f[i];
        l = l.substr(0, eq + 1) + v;
      }
      out += l + "\n";
    }
    WriteAll(dir / "E0000001.INI", out);
  } else if (kind == "dbf-count" || kind == "dbf-header") {
    std::string bytes = ReadAll(dir / "ZWTasks.dbf");
    if (kind == "dbf-count") PutLE(bytes, 4, std::stoull(g.at(2)), 4);
    else PutLE(bytes, 8, std::stoull(g.at(2)), 2);
    WriteAll(dir / "ZWTasks.dbf", bytes);
  } else if (kind == "profile") {
    const int n = std::stoi(g.at(3));
    std::string text = "distance_m,elevation_m\n";
    for (int i = 0; i <= n; ++i) text += std::to_string(30 * i) + "," + std::to_string(300 + i % 50) + "\n";
    WriteAll(file, text);
  } else {
    FAIL() << "unknown generator " << kind;
  }
}

// Runs the tool under `timeout 60` with the installation directory `home`;
// the exit code is -1 when a signal ended it.
zw::test::ToolOutcome RunTool(const fs::path& home, const std::string& args) {
  const fs::path outFile = home / "stdout.txt", errFile = home / "stderr.txt";
  const std::string cmd = "ZWRAVOPROP_HOME='" + home.string() + "' timeout 60 '" RAVO_TOOL_PATH "' " + args + " >'" +
                          outFile.string() + "' 2>'" + errFile.string() + "' </dev/null";
  const int status = std::system(cmd.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(outFile), ReadAll(errFile)};
}

class BadInputTest : public ::testing::TestWithParam<std::string> {};

TEST_P(BadInputTest, RefusedWithoutHarm) {
  const fs::path src = kCases / GetParam();
  const BadCase bad = ReadCase(src / "case.txt");
  ASSERT_FALSE(bad.commands.empty()) << "case.txt names no command";
  ASSERT_FALSE(Trim(ReadAll(src / "README")).empty());
  if (!bad.skip.empty() && !std::getenv("RAVO_SLOW_TESTS")) GTEST_SKIP() << bad.skip;

  zw::test::TempDir tmp;
  const fs::path home = tmp.path() / "home", work = tmp.path() / "work", copy = tmp.path() / "case";
  fs::create_directories(home);
  fs::create_directories(copy);
  const bool taskCase =
      bad.commands.front() == "run" || bad.commands.front() == "p2p-task" || bad.commands.front() == "tool";
  const bool needsWork = taskCase || bad.commands.front() == "import";
  if (needsWork) zw::test::CopySample(work);
  const fs::path target = taskCase ? work : copy;
  for (const auto& e : fs::directory_iterator(src)) {
    const auto name = e.path().filename().string();
    if (name == "README" || name == "case.txt") continue;
    fs::copy(e.path(), target / name, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  }
  const std::uint64_t seed = Fnv1a(GetParam());
  for (const auto& step : bad.steps) {
    if (step[0] == "gen") {
      Generate(target, step, seed);
      if (HasFatalFailure()) return;
    } else {
      ASSERT_GE(step.size(), 3u) << step[0];
      const fs::path file = target / step[1];
      std::string value;
      for (std::size_t i = 4; i < step.size(); ++i) value += (i > 4 ? "|" : "") + step[i];
      WriteAll(file, EditIni(ReadAll(file), step[0], step[2], step.size() > 3 ? step[3] : "", value));
    }
  }

  const auto before = Snapshot({work, copy});
  bool accepted = false;
  for (const auto& command : bad.commands) {
    SCOPED_TRACE(command);
    using zw::test::Quote;
    std::string args;
    if ((command == "run" || command == "p2p-task") && !bad.args.empty()) {
      args = "--yes " + std::string(command == "run" ? "run " : "p2p ") + bad.args;
    } else if (command == "run") {
      args = "--yes run --task 1 --threads 2 --workdir " + Quote(work) + " --dem " + Quote(kTile);
    } else if (command == "p2p-task") {
      args = "--yes p2p --json --task 1 --workdir " + Quote(work) + " --dem " + Quote(kTile) + " --to 44.55,-71.25";
    } else if (command == "p2p") {
      args = "--yes p2p " + bad.args;
    } else if (command == "tool") {
      args = bad.args;
    } else if (command == "import") {
      args = "--yes task --workdir " + Quote(work) + " import " + bad.args;
    } else {
      FAIL() << "unknown command " << command;
    }
    const auto fill = [&](const std::string& s) {
      return ReplaceAll(ReplaceAll(ReplaceAll(s, "{case}", copy.string()), "{work}", work.string()), "{tile}",
                        kTile.string());
    };
    args = fill(args);
    const auto o = RunTool(home, args);
    const int rc = o.exitCode;
    ASSERT_NE(rc, -1) << "killed by a signal\n" << o.err;
    EXPECT_NE(rc, 124) << "still running after 60 s";
    EXPECT_LT(rc, 124) << "crashed (exit " << rc << ")\n" << o.err;
    EXPECT_EQ(o.err.find("Sanitizer"), std::string::npos) << o.err;
    EXPECT_EQ(o.err.find("runtime error:"), std::string::npos) << o.err;
    if (!bad.known.empty()) {
      accepted = accepted || rc == 0;
      continue;
    }
    EXPECT_NE(rc, 0) << "accepted\nstdout: " << o.out.substr(0, 2000) << "\nstderr: " << o.err;
    EXPECT_FALSE(Trim(o.err).empty()) << "no message on stderr; stdout: " << o.out.substr(0, 2000);
    for (const auto& text : bad.expect) {
      EXPECT_NE(o.err.find(fill(text)), std::string::npos) << fill(text) << "\n" << o.err;
    }
    if (!bad.exit.empty()) {
      EXPECT_EQ(std::to_string(rc), bad.exit);
    }
    EXPECT_NE(o.out.find(bad.stdoutHas), std::string::npos) << o.out;
  }
  // A known acceptance may have written its study (results keys of the task
  // file, the task record) as for good input.
  if (accepted || !bad.known.empty()) return;
  const auto after = Snapshot({work, copy});
  for (const auto& [path, hash] : before) {
    const auto it = after.find(path);
    ASSERT_NE(it, after.end()) << path << " was removed";
    EXPECT_EQ(it->second, hash) << path << " was changed";
  }
  // Nothing new either, but the run lock (kept on purpose, see TaskRunLock).
  for (const auto& [path, hash] : after) {
    if (path.extension() != ".LCK") {
      EXPECT_TRUE(before.count(path)) << path << " was written";
    }
  }
}

std::vector<std::string> CaseNames() {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(kCases))
    if (e.is_directory() && fs::exists(e.path() / "case.txt")) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

INSTANTIATE_TEST_SUITE_P(Corpus, BadInputTest, ::testing::ValuesIn(CaseNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string n = info.param;
                           std::replace(n.begin(), n.end(), '-', '_');
                           return n;
                         });

TEST(BadInputCorpus, HasAtLeastFiftyCases) { EXPECT_GE(CaseNames().size(), 50u); }

}  // namespace
