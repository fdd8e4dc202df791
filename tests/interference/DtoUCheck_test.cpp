#include "interference/DtoUCheck.h"

#include <gtest/gtest.h>

#include "TempDir.h"
#include "platform/FileSystem.h"

namespace zw {
namespace {

// A complete table passes; an incomplete one is refused with every missing
// or bad key named at once.
TEST(DtoUCheck, NamesEveryMissingOrBadKeyAtOnce) {
  test::TempDir d;
  const auto file = d.path() / "rx.ini";
  struct Row {
    const char* section;
    std::vector<const char*> says;  // empty: accepted
  };
  const std::string starter = DtoUStarterText("Start");
  ASSERT_TRUE(platform::WriteFileAtomic(
      file, starter +
                "[Keys]\nnumDsignals=1\nDsignal00=x\n"
                "[Empty]\nnumDsignals=0\nnumRXrej=0\nChnlWidth=25\n"
                "[Short]\nnumDsignals=1\nnumRXrej=2\nChnlWidthUn=Hz\nChnlWidth=-1\nOffset=1\nChnl=1|b\n"
                "Dsignal00=Weak|-110\nRXrej00=1|x\n"
                "[Same]\nnumDsignals=1\nnumRXrej=2\nChnlWidth=25\nOffset=12.5|12.5\nChnl=1|2\n"
                "Dsignal00=Weak|-110\nRXrej00=|-40\n"));
  const Row rows[] = {
      {"Start", {}},
      {"Sample", {"not in"}},
      {"Keys", {"numRXrej is missing", "ChnlWidth is missing", "Offset is missing", "Chnl is missing",
                "Dsignal00=x is not DESCRIPTION|LEVEL", "RXrej00 is missing"}},
      {"Empty", {"numDsignals=0 is not a whole number from 1", "numRXrej=0", "empty table"}},
      {"Short", {"ChnlWidthUn=Hz is not KHz or MHz", "ChnlWidth=-1", "Offset holds 1 value(s)",
                 "Chnl value 2 is not a channel offset", "RXrej00 value 2 is not a D/U ratio"}},
      {"Same", {"columns 1 and 2 cover the same band"}},
  };
  for (const Row& r : rows) {
    const std::string why = CheckDtoUTable(file, r.section);
    EXPECT_EQ(why.empty(), r.says.empty()) << r.section << ":\n" << why;
    for (const char* s : r.says) EXPECT_NE(why.find(s), std::string::npos) << r.section << ": " << s << " in\n" << why;
  }
}

}  // namespace
}  // namespace zw
