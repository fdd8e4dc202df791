// cmake --install puts the tool, its data, the headers and the CMake package
// in place: the installed tool finds its data from its own location, and a
// program of another project builds against find_package(ZWRavoprop).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "TempDir.h"
#include "ToolRun.h"

namespace {

namespace fs = std::filesystem;
using zw::test::Quote;

// Runs a shell command; its exit code, with stdout and stderr in *out.
int Shell(const std::string& cmd, std::string* out) {
  FILE* p = popen((cmd + " 2>&1").c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  std::size_t n = 0;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out->append(buf, n);
  const int status = pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(InstallTest, ToolFindsItsDataAndAProgramBuildsAgainstThePackage) {
  zw::test::TempDir tmp;
  const fs::path prefix = tmp.path() / "prefix";
  std::string log;
  ASSERT_EQ(Shell("'" RAVO_CMAKE_COMMAND "' --install '" RAVO_BUILD_DIR "' --prefix " + Quote(prefix), &log), 0) << log;
  for (const char* f : {"bin/ravoprop", "share/zwravoprop/data/ZWDATASM.DBF", "share/zwravoprop/data/ZWRXRej.INI",
                        "share/zwravoprop/data/terrain/N44W072.hgt", "include/zwravoprop/engine/clsRFProp.h",
                        "include/zwravoprop/Version.h", "lib/cmake/ZWRavoprop/ZWRavopropConfig.cmake"})
    EXPECT_TRUE(fs::exists(prefix / f)) << f;

  // From another directory, without ZWRAVOPROP_DATA: the data beside the tool.
  std::string out;
  const std::string tool = "cd " + Quote(tmp.path()) + " && env -u ZWRAVOPROP_DATA ZWRAVOPROP_HOME= " +
                           Quote(prefix / "bin" / "ravoprop");
  EXPECT_EQ(Shell(tool + " dtou print", &out), 0) << out;
  EXPECT_NE(out.find((prefix / "share/zwravoprop/data/ZWRXRej.INI").string()), std::string::npos) << out;

  const fs::path src = tmp.path() / "app";
  fs::create_directories(src);
  std::ofstream(src / "CMakeLists.txt") << "cmake_minimum_required(VERSION 3.25)\nproject(app CXX)\n"
                                           "set(CMAKE_CXX_STANDARD 20)\nfind_package(ZWRavoprop 1 REQUIRED)\n"
                                           "add_executable(app main.cpp)\n"
                                           "target_link_libraries(app PRIVATE ZWRavoprop::ZWRavoprop)\n";
  std::ofstream(src / "main.cpp") << "#include <iostream>\n#include \"common/ModelTable.h\"\n"
                                     "#include \"engine/clsRFProp.h\"\n"
                                     "int main() { zw::clsRFProp e; std::cout << zw::ModelCodes().size() << \" models\\n\"; }\n";
  const std::string flags = RAVO_SANITIZE_FLAGS;
  log.clear();
  ASSERT_EQ(Shell("'" RAVO_CMAKE_COMMAND "' -S " + Quote(src) + " -B " + Quote(src / "b") + " -DCMAKE_PREFIX_PATH=" +
                      Quote(prefix) + " -DCMAKE_CXX_FLAGS='" + flags + "' -DCMAKE_EXE_LINKER_FLAGS='" + flags +
                      "' && '" RAVO_CMAKE_COMMAND "' --build " + Quote(src / "b"),
                  &log),
            0)
      << log;
  out.clear();
  EXPECT_EQ(Shell("cd " + Quote(tmp.path()) + " && " + Quote(src / "b" / "app"), &out), 0) << out;
  EXPECT_NE(out.find("13 models"), std::string::npos) << out;
}

}  // namespace
