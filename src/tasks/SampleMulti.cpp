#include "tasks/SampleMulti.h"

#include "platform/FileSystem.h"
#include "tasks/CombinedTask.h"
#include "tasks/SampleStudy.h"
#include "tasks/clsQXTask.h"

namespace zw::tasks {

namespace fs = std::filesystem;

namespace {

struct Station {
  const char* facility;
  double lat, lon, freqMHz, erpKW, aglM;
};

// On the sample terrain tile; the grid is the first station's +- 0.25 degrees.
constexpr Station kStations[] = {
    {"WZWR-FM (sample) Mount Waumbek NH", 44.4365, -71.4131, 98.5, 50, 100},
    {"WZWS-FM (sample) Mount Washington NH", 44.2706, -71.3033, 98.5, 0.3, 20},
    {"WZWT-FM (sample) Cape Horn NH", 44.5790, -71.5310, 98.7, 3, 40},
};

}  // namespace

std::string SampleDtoUText() {
  return "; Sample receiver D/U table of an FM broadcast receiver (format: docs/dtou.md): co-channel 20 dB,\n"
         "; first adjacent (200 kHz) 6 dB, second adjacent (400 kHz) -40 dB; illustrative values.\n"
         "[FM 200k]\nnumDsignals=2\nnumRXrej=5\nChnlWidthUn=KHz\nChnlWidth=200\n"
         "Offset=-100|100|-100|300|-300\nChnl=0|1|-1|2|-2\nDsignal00=Fringe|-100\nDsignal01=Strong|-60\n"
         "RXrej00=20|6|6|-40|-40\nRXrej01=20|0|0|-45|-45\n";
}

std::string WriteMultiSample(const fs::path& workDir, const fs::path& terrainFile, MultiSampleTasks& out) {
  out = MultiSampleTasks{};
  auto undo = [&](std::string why) {
    clsQXTask t(workDir);
    t.SetSilent(true);
    for (std::int32_t id : {out.tiles[0], out.tiles[1], out.tiles[2], out.bestServer, out.interference})
      if (id > 0) t.TaskDeleteID(id);
    out = MultiSampleTasks{};
    return why;
  };
  for (int i = 0; i < 3; ++i) {
    const Station& st = kStations[i];
    SampleStudy s;
    s.txLat = st.lat, s.txLon = st.lon, s.freqMHz = st.freqMHz, s.erpKW = st.erpKW, s.txAglM = st.aglM;
    s.facDesc = st.facility;
    s.gridLat = kStations[0].lat, s.gridLon = kStations[0].lon;
    s.tileNsStepKm = 1.12, s.tileEwStepKm = 0.8;  // 50 x 50 points
    s.tileDesc = "Sample: " + std::string(st.facility) + ", 50 x 50 grid of the multi-transmitter studies";
    s.tileSummary = "LR TIL 50 x 50 grid, Mount Waumbek +-0.25 deg, 60 dBu";
    std::string why;
    out.tiles[i] = WriteSampleTile(workDir, terrainFile, s, &why);
    if (out.tiles[i] < 1) return undo(why);
  }
  AggregateRequest agg;
  agg.method = 4;
  agg.inputs = {out.tiles[0], out.tiles[1], out.tiles[2]};
  agg.minThresholdDbu = 60;
  agg.desc = "Sample: best server of the three FM stations";
  StudyOutcome r = CreateAggregateTask(workDir, agg);
  if (r.id < 1) return undo(r.error);
  out.bestServer = r.id;
  InterferenceRequest ifr;
  ifr.desired = out.tiles[0];
  ifr.undesired = {out.tiles[1], out.tiles[2]};
  ifr.table = kSampleDtoUTable;
  ifr.tableFile = "ZWRXRej.INI";
  ifr.desc = "Sample: interference to WZWR-FM from WZWS-FM and WZWT-FM";
  r = CreateInterferenceTask(workDir, ifr);
  if (r.id < 1) return undo(r.error);
  out.interference = r.id;
  std::string why;
  if (!platform::WriteFileAtomic(workDir / "ZWRXRej.INI", SampleDtoUText(), &why))
    return undo("Cannot write " + (workDir / "ZWRXRej.INI").string() + ": " + why);
  return {};
}

}  // namespace zw::tasks
