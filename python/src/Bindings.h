#pragma once
// The _ravoprop extension module: each file binds one part of the engine.
#include <pybind11/pybind11.h>

#include <stdexcept>
#include <string>

namespace zw::py {

// A failure of the engine, with its message (ravoprop.EngineError).
struct EngineError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

void BindModels(pybind11::module_& m);
void BindPaths(pybind11::module_& m);
void BindStudies(pybind11::module_& m);
void BindExport(pybind11::module_& m);

}  // namespace zw::py
