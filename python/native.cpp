// The native part of the Python module: one engine per call, with the
// procedure loaded from libprox.so and registered exactly as the program
// does, so that every result comes from the same PROX entry point. The data
// go in as columns and the output comes back as the JSON document (and the
// HTML report, or the matrix written, when asked for); the Python layer turns
// them into pandas and NumPy objects.
#include <dlfcn.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/engine.h"

namespace py = pybind11;

namespace {

engine::ProcedureEntry procedure = nullptr;
std::string procedurePath;

// One engine at a time in the process: the engine works on the one session.
// Taken after the GIL is released, so that a second Python thread waits here
// without holding the GIL the first needs to return.
std::mutex engineMutex;

// libprox.so lies beside the engine's library, in the build tree (bin/) as
// installed (lib/).
std::string besideEngine() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&engine::systemMissingValue), &info) == 0 ||
      info.dli_fname == nullptr) {
    return "libprox.so";
  }
  const std::string engineLibrary = info.dli_fname;
  const auto slash = engineLibrary.rfind('/');
  return slash == std::string::npos ? "libprox.so"
                                    : engineLibrary.substr(0, slash + 1) + "libprox.so";
}

void loadProcedure(std::string path) {
  if (path.empty()) path = besideEngine();
  if (procedure != nullptr) {
    if (path != procedurePath) {
      throw std::runtime_error("the procedure library is already loaded from " + procedurePath);
    }
    return;
  }
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    throw std::runtime_error(std::string("cannot load the procedure library: ") + dlerror());
  }
  void* entry = dlsym(library, "PROX");
  if (entry == nullptr) throw std::runtime_error(path + " has no entry point PROX");
  procedure = reinterpret_cast<engine::ProcedureEntry>(entry);
  procedurePath = path;
}

volatile std::sig_atomic_t* interruptFlag = nullptr;

extern "C" void onInterrupt(int /*signal*/) { *interruptFlag = 1; }

// While a command runs without the GIL, Python's own SIGINT handler cannot
// run; Ctrl-C sets the engine's interrupt flag instead, which the procedure
// checks once per case, feature or printed row. Signals reach the main
// thread only, so another thread leaves the handler alone.
class InterruptScope {
 public:
  InterruptScope() {
    if (getpid() != gettid()) return;
    interruptFlag = &engine::interruptRequest();
    *interruptFlag = 0;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    installed_ = sigaction(SIGINT, &action, &previous_) == 0;
  }
  ~InterruptScope() {
    if (installed_) sigaction(SIGINT, &previous_, nullptr);
  }
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;

 private:
  bool installed_ = false;
  struct sigaction previous_ {};
};

// A column from Python: (name, float64 array) or (name, list of str).
engine::DataColumn toColumn(const py::handle& item) {
  const auto pair = item.cast<py::tuple>();
  engine::DataColumn column;
  column.name = pair[0].cast<std::string>();
  const py::handle values = pair[1];
  if (py::isinstance<py::array>(values)) {
    const auto array =
        py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(values);
    if (!array || array.ndim() != 1)
      throw std::invalid_argument("a column must be one-dimensional");
    const double* data = array.data();
    const double missing = engine::systemMissingValue();
    column.numbers.resize(static_cast<std::size_t>(array.shape(0)));
    for (std::size_t i = 0; i < column.numbers.size(); ++i) {
      column.numbers[i] = std::isnan(data[i]) ? missing : data[i];
    }
  } else {
    column.isString = true;
    column.texts = values.cast<std::vector<std::string>>();
  }
  return column;
}

// The kept matrix for Python: its leading columns by name (float64 arrays,
// lists of str), the item names, and the values as a rows x items float64
// array that owns the engine's buffer, so the n x n numbers are not copied.
py::dict fromWrittenMatrix(engine::WrittenMatrix& written) {
  py::dict out;
  py::list leading;
  for (engine::WrittenMatrix::Column& column : written.leading) {
    if (column.isString) {
      leading.append(py::make_tuple(column.name, py::cast(column.texts)));
    } else {
      leading.append(py::make_tuple(
          column.name, py::array_t<double>(static_cast<py::ssize_t>(column.numbers.size()),
                                           column.numbers.data())));
    }
  }
  out["leading"] = leading;
  out["items"] = py::cast(written.items);
  auto* values = new std::vector<double>(std::move(written.values));
  const py::capsule owner(values, [](void* p) { delete static_cast<std::vector<double>*>(p); });
  const auto rows = static_cast<py::ssize_t>(written.rows);
  const auto items = static_cast<py::ssize_t>(written.items.size());
  out["values"] = py::array_t<double>({rows, items}, values->data(), owner);
  return out;
}

// Runs command text on the given columns (none: no working data). Returns
// the JSON document, the HTML report (empty unless asked for) and, when
// asked for, the matrix the last MATRIX=OUT(*) wrote (None without).
py::dict run(const std::string& commands, const std::string& sourceName, const py::object& columns,
             bool wantHtml, bool wantMatrix) {
  if (procedure == nullptr) throw std::runtime_error("the procedure library is not loaded");
  std::vector<engine::DataColumn> input;
  const bool haveData = !columns.is_none();
  if (haveData) {
    for (const py::handle item : columns) input.push_back(toColumn(item));
  }
  std::ostringstream json;
  std::ostringstream html;
  engine::WrittenMatrix written;
  bool completed = true;
  {
    py::gil_scoped_release release;
    const std::lock_guard lock(engineMutex);
    engine::EngineOptions options;
    options.format = engine::OutputFormat::Json;
    options.out = &json;
    if (wantHtml) options.html = &html;
    options.keepWrittenMatrix = wantMatrix;
    engine::Engine eng(options);
    eng.registerProcedure("PROXIMITIES", 4, procedure);
    if (haveData) eng.setWorkingData(std::move(input), "the data given");
    {
      const InterruptScope interrupts;
      completed = eng.run(commands, sourceName);
    }
    eng.finish();
    if (completed && wantMatrix) written = eng.takeWrittenMatrix();
  }
  if (!completed) {
    PyErr_SetNone(PyExc_KeyboardInterrupt);
    throw py::error_already_set();
  }
  py::dict result;
  result["json"] = py::bytes(json.str());
  result["html"] = py::bytes(html.str());
  result["matrix"] = wantMatrix ? py::object(fromWrittenMatrix(written)) : py::none();
  return result;
}

}  // namespace

PYBIND11_MODULE(_native, m) {
  m.doc() = "The engine and the PROXIMITIES procedure, for the proximities package.";
  m.def("load", &loadProcedure, py::arg("path") = std::string(),
        "Loads the procedure library (once per process; by default the libprox.so beside the "
        "engine's library) and finds its entry point PROX.");
  m.def("run", &run, py::arg("commands"), py::arg("source_name"), py::arg("columns"),
        py::arg("html") = false, py::arg("matrix") = false,
        "Runs command text through a fresh engine; see proximities.run.");
  m.def("variable_names", &engine::variableNamesFor, py::arg("headers"),
        "The variable names columns with these headers get.");
}
