#pragma once
// The FCC broadcast propagation curves (47 CFR 73.699 / 73.333) at their
// published grid points: field strength in dBu for 1 kW ERP at 50 % of
// locations, one row per HAAT (feet), one column per distance (statute miles).
// Band index: 0 low VHF (channels 2-6) and FM, 1 high VHF (7-13), 2 UHF (14-83).
// Row-major [band][haat][distance] is the curve-grid layout (distance fastest).
// Generated from data/curves by data/curves/make_bc_tables.py.

namespace zw {

inline constexpr int kBCHaatCount = 13;
inline constexpr int kBCDist50Count = 25;  // 1-5, then 10-200 mi by 10
inline constexpr int kBCDist10Count = 30;  // 10-300 mi by 10
inline constexpr int kBCDist90Count = 20;  // 10-200 mi by 10

extern const float kBCHaatFt[kBCHaatCount];
extern const float kBCDist50[kBCDist50Count];
extern const float kBCDist10[kBCDist10Count];
extern const float kBCDist90[kBCDist90Count];
extern const float kBCF50[3][kBCHaatCount][kBCDist50Count];  // F(50,50)
extern const float kBCF10[3][kBCHaatCount][kBCDist10Count];  // F(50,10)
extern const float kBCF90[3][kBCHaatCount][kBCDist90Count];  // F(50,90)

}  // namespace zw
