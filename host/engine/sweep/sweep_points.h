// The points of a sweep: the full grid of the variables' values, a seeded
// Latin hypercube over their ranges, or the rows of a CSV file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sweep_file.h"

namespace cyclesim {

// Every combination, the last variable running fastest. A range gives
// `count` evenly spaced values, both ends included.
std::vector<std::vector<nlohmann::json>> grid_points(const std::vector<SweepVariable>& variables,
                                                     const std::string& where);

// `count` points; every variable's range is cut into `count` equal strata and
// each stratum holds exactly one point, at a random place within it. The
// same seed gives the same points on every machine (mt19937_64 and our own
// conversions, no library distribution).
std::vector<std::vector<nlohmann::json>> latin_hypercube_points(const std::vector<SweepVariable>& variables,
                                                                int count, std::uint64_t seed,
                                                                const std::string& where);

// A header naming every variable (in any order, nothing else), then one row
// per point: numbers, or texts without commas and quotes.
std::vector<std::vector<nlohmann::json>> csv_points(const std::vector<SweepVariable>& variables,
                                                    const std::filesystem::path& file, const std::string& where);

// From the sweep file's "points" value. Throws SimulationError.
std::vector<std::vector<nlohmann::json>> expand_points(const std::vector<SweepVariable>& variables,
                                                       const nlohmann::json& points,
                                                       const std::filesystem::path& base, const std::string& where);

// Points a sweep may hold.
inline constexpr std::size_t kMaxSweepPoints = 1'000'000;

}  // namespace cyclesim
