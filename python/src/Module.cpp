// The module and the model table.
#include <pybind11/stl.h>

#include "Bindings.h"
#include "common/ModelTable.h"
#include "common/ModelTemplate.h"

namespace zw::py {

void BindModels(pybind11::module_& m) {
  m.def(
      "models",
      [] {
        std::vector<pybind11::dict> out;
        for (const auto& code : ModelCodes()) {
          const ModelQuantity q = ModelResultOf(code);
          pybind11::dict d;
          d["code"] = code;
          d["names"] = ModelDisplayNames(code);
          d["quantity"] = q.quantity;
          d["unit"] = q.unit;
          d["studies"] = std::string(ModelStudies(code));
          d["summary"] = std::string(ModelSummary(code));
          out.push_back(std::move(d));
        }
        return out;
      },
      "The propagation models of the model table, in table order.");
  m.def(
      "model_template",
      [](const std::string& model) {
        std::string why;
        const auto text = ModelTemplateIni(model, &why);
        if (!text) throw EngineError(why);
        return *text;
      },
      pybind11::arg("model"), "A model's complete template with its defaults, as settings-file text.");
  m.def(
      "model_code", [](const std::string& name) { return ModelCodeOf(name); }, pybind11::arg("name"),
      "The code of a model name or code (\"\" when unknown).");
}

}  // namespace zw::py

PYBIND11_MODULE(_ravoprop, m) {
  m.doc() = "ZWRavoprop propagation engine (use the ravoprop package).";
  pybind11::register_exception<zw::py::EngineError>(m, "EngineError", PyExc_RuntimeError);
  zw::py::BindModels(m);
  zw::py::BindPaths(m);
  zw::py::BindStudies(m);
  zw::py::BindExport(m);
}
