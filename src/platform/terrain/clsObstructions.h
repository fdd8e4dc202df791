#pragma once
// Obstruction files: dBase (DBF) tables of structures, trees and the like that
// stand above the ground. Each record holds
//   OBS_ID     identification (text or number; records with an empty one are skipped)
//   OBS_LAT    latitude, decimal degrees
//   OBS_LON    longitude, decimal degrees
//   OBS_HGT    height above ground
//   OBS_HGTUN  unit of the height: "m" or "ft" (empty means "m")
//   OBS_DESC   optional description
// The profile object adds the heights of the obstructions that stand on its
// path to the elevation-with-obstructions array.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace zw::platform {

// The largest obstruction table read (256 MB: millions of records).
inline constexpr std::uintmax_t kMaxObstructionBytes = 256ull * 1024 * 1024;

struct Obstruction {
  std::string sId;
  double dLat = 0, dLon = 0;
  double dHgtM = 0;  // above ground, metres
  std::string sDesc;
};

class clsObstructions {
 public:
  // Adds a file name (blank names are ignored; a name already held is not
  // added twice). The file is read when the obstructions are first needed.
  void AddFile(const std::string& file);
  bool bUse() const { return bUse_; }
  void bUse(bool v) { bUse_ = v; }
  // The files used in the calculations: every file added but those found
  // unreadable when loading (they are named in Warnings() instead).
  int iFileCount() const;
  // File name by index 0 .. count-1; "" outside that range.
  std::string sFileName(int index) const;

  // Problems with the files, one line each, for the report: a file that could
  // not be read (and was left out), records that were skipped. Load adds its
  // own; AddWarning is for files the task named that were never added.
  std::vector<std::string> Warnings() const;
  void AddWarning(const std::string& text);

  // Reads the files not read yet. Returns "" or one line per problem (missing
  // file, missing field, unusable records). Safe to call from several threads.
  std::string Load();
  // Every obstruction read (Load first).
  std::vector<Obstruction> Items();
  // Obstructions inside a box (decimal degrees), after Load.
  std::vector<Obstruction> InBox(double maxLat, double minLat, double maxLon, double minLon);
  // Number of records of a DBF table that carry an OBS_ID; -1 (with *why
  // set) when the file cannot be read as an obstruction table: not a regular
  // file, larger than kMaxObstructionBytes, a damaged header, no OBS_ID.
  static long CountRecords(const std::filesystem::path& file, std::string* why = nullptr);
  // Changes whenever the set of obstructions may have changed.
  unsigned iVersion() const;

 private:
  std::vector<std::string> UsableFilesLocked() const;

  mutable std::mutex m_;
  std::atomic<bool> bUse_{false};
  std::vector<std::string> files_;
  std::size_t loaded_ = 0;  // files_[0 .. loaded_) have been read
  std::vector<std::size_t> unusable_;  // indices into files_ of files that could not be read
  std::vector<std::string> warnings_;
  std::vector<Obstruction> items_;
  std::string messages_;
  unsigned version_ = 0;
};

}  // namespace zw::platform
