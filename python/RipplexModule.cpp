// ripplex: the Python module. Basin(directory) starts the water of a scene
// directory as ripplex-sim does, steps it, and reads it back as NumPy
// arrays; CBasin (Basin.h) holds the body and the module lock, this file
// only translates: arguments, arrays, exceptions, warnings and the GIL.
//
// Arrays: element [y, x] is cell or corner (x, y), float32, C order.
// `corner_heights` is a read-only view on the body's own array, whose base
// is the Basin (kept alive by it); `heights` and `objects` are read-only
// copies. Log lines are Latin-1 and decoded as such.
//
// Deliberately not done: no drawing, no option file written or read here,
// no second way to start a body (the loader of the programs is the only one).
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <cstring>
#include <string>

#include "Basin.h"
#include "sim/SimObject.h"

namespace py = pybind11;
using namespace py::literals;

namespace
{
// The module's exception and warning types. Owned by the module for the
// life of the interpreter: never released, so nothing is freed after the
// interpreter has gone.
PyObject* g_error = nullptr;
PyObject* g_diverged = nullptr;
PyObject* g_sceneWarning = nullptr;

py::str Latin1(const std::string& text)
{
    PyObject* decoded = PyUnicode_DecodeLatin1(text.data(), Py_ssize_t(text.size()), nullptr);
    if (!decoded)
        throw py::error_already_set();
    return py::reinterpret_steal<py::str>(decoded);
}

// The lines a call logged without failing (keys that had no effect, a
// grid too fine for its frames) reach the user through `warnings`, where
// they can be shown, silenced or turned into errors; never stderr.
void Warn(const LogLines& lines)
{
    for (const std::string& line : lines)
    {
        const std::string text = Latin1(line);  // UTF-8, as PyErr_WarnEx wants it
        if (PyErr_WarnEx(g_sceneWarning, text.c_str(), 1) < 0)
            throw py::error_already_set();
    }
}

// Everything but the start-up runs the core with the GIL released; CBasin
// takes the module lock inside.
template <class Call>
auto WithoutGil(Call&& call)
{
    py::gil_scoped_release released;
    return call();
}

template <class Array>
Array ReadOnly(Array array)
{
    array.attr("setflags")("write"_a = false);
    return array;
}

// A read-only (rows, columns) array on the body's own floats, no copy; its
// base is the Basin, which the array keeps alive.
py::array_t<float> ViewOn(const GridView& g, const py::object& basin)
{
    const py::ssize_t row = py::ssize_t(g.columns * sizeof(float));
    return ReadOnly(py::array_t<float>({g.rows, g.columns}, {row, py::ssize_t(sizeof(float))},
                                       g.values, basin));
}

std::string FileSystemName(const py::object& path)
{
    return py::bytes(py::module_::import("os").attr("fsencode")(path));
}

// Names are compared byte for byte with those of events.opt, which are Latin-1.
std::string Latin1Bytes(const py::str& text)
{
    return py::bytes(text.attr("encode")("latin-1"));
}

const char* const MODULE_DOC = R"(Ripplex water basins for Python.

Basin(directory) starts the water of a scene directory as ripplex-sim does
(simulation.opt, events.opt and the assets they name, relative to that
directory) and comes back to the current directory. A refused start raises
ripplex.Error with the log's lines; a diverging step raises ripplex.Diverged.
Lines logged by a start that succeeds arrive as ripplex.SceneWarning.

Every Basin draws its own spray sequence from the start, so each one gives
the results of a fresh ripplex-sim run whatever else the process does.
Calls into the simulation are serialised by one module lock; step and
advance release the GIL while they run.)";

const char* const BASIN_DOC = R"(The water of one scene directory.

Arrays are float32, element [y, x] for cell or corner (x, y), read-only.
heights: (H, W) cell heights, a view on the basin's own array, always the
current water. corner_heights: (H-1, W-1), a view on the basin's own array,
current until the next step or advance (afterwards it shows one of the
basin's working buffers: read the property again).
objects: the balls (kind SOLID) and spray drops (kind PARTICLE), a copy.)";

void BindBasin(py::module_& m)
{
    py::class_<CBasin>(m, "Basin", BASIN_DOC)
        // With the GIL held: the current directory is the scene's while
        // the body starts, and no other Python thread may see that.
        .def(py::init([](const py::object& directory) {
                 LogLines notes;
                 auto basin = std::make_unique<CBasin>(FileSystemName(directory), &notes);
                 Warn(notes);
                 return basin;
             }),
             "directory"_a)
        .def(
            "step",
            [](CBasin& b, double dt) {
                LogLines notes;
                WithoutGil([&] { b.Step(dt, &notes); });
                Warn(notes);
            },
            "dt"_a, "One plain step of dt seconds, even beyond stable_step.")
        .def(
            "advance",
            [](CBasin& b, double interval) {
                LogLines notes;
                const int steps = WithoutGil([&] { return b.Advance(interval, &notes); });
                Warn(notes);
                return steps;
            },
            "interval"_a,
            "Advance by interval seconds in equal sub-steps within the stability bound; "
            "returns their number.")
        .def_property_readonly("time", [](const CBasin& b) { return WithoutGil([&] { return b.Summary().time; }); })
        .def_property_readonly("water", [](const CBasin& b) { return WithoutGil([&] { return b.Summary().water; }); },
                               "Volume of the water cells.")
        .def_property_readonly("spray", [](const CBasin& b) { return WithoutGil([&] { return b.Summary().spray; }); },
                               "Volume of the spray in flight.")
        .def_property_readonly("stable_step", [](const CBasin& b) { return WithoutGil([&] { return b.StableStep(); }); },
                               "Largest stable step of the pipes, in seconds (inf: none).")
        .def_property_readonly("diverged", [](const CBasin& b) { return WithoutGil([&] { return b.Diverged(); }); })
        .def_property_readonly("extent", [](const CBasin& b) { return py::make_tuple(b.SizeX(), b.SizeY()); },
                               "Size of the basin along x and y, centred on the origin.")
        .def_property_readonly("heights",
                               [](const py::object& self) {
                                   const CBasin& b = self.cast<const CBasin&>();
                                   return ViewOn(WithoutGil([&] { return b.Cells(); }), self);
                               })
        .def_property_readonly("corner_heights",
                               [](const py::object& self) {
                                   const CBasin& b = self.cast<const CBasin&>();
                                   return ViewOn(WithoutGil([&] { return b.Corners(); }), self);
                               })
        .def_property_readonly("objects",
                               [](const CBasin& b) {
                                   const auto records = WithoutGil([&] { return b.Objects(); });
                                   py::array_t<BasinObject> a(py::ssize_t(records.size()));
                                   if (!records.empty())
                                       std::memcpy(a.mutable_data(), records.data(),
                                                   records.size() * sizeof(BasinObject));
                                   return ReadOnly(a);
                               })
        .def(
            "add_sphere",
            [](CBasin& b, std::array<float, 3> position, float radius, float mass,
               std::array<float, 3> speed, const std::optional<py::str>& name) {
                const std::string bytes = name ? Latin1Bytes(*name) : std::string();
                WithoutGil([&] { b.AddSphere(position.data(), radius, mass, speed.data(), bytes); });
            },
            "position"_a, "radius"_a, "mass"_a, "speed"_a = std::array<float, 3>{0.0f, 0.0f, 0.0f},
            "name"_a = py::none(),
            "Drop a ball as an event would: it moves from the next step on. Mass 0 makes a "
            "marker that rides the surface; a name lets events.opt remove it.")
        .def(
            "press",
            [](CBasin& b, float x, float y, float radius, float depth) {
                WithoutGil([&] { b.Press(x, y, radius, depth); });
            },
            "x"_a, "y"_a, "radius"_a, "depth"_a,
            "Put the finger down on a disc of radius (world units) around (x, y), pressing "
            "like a column of water depth high, at every step until lift().")
        .def("lift", [](CBasin& b) { WithoutGil([&] { b.Lift(); }); })
        .def("__repr__", [](const CBasin& b) {
            return py::str("<ripplex.Basin {} x {} cells, t = {:.4f} s>")
                .format(b.Width(), b.Height(), WithoutGil([&] { return b.Summary().time; }));
        });
}
}  // namespace

PYBIND11_MODULE(ripplex, m)
{
    m.doc() = MODULE_DOC;
    g_error = PyErr_NewException("ripplex.Error", PyExc_Exception, nullptr);
    g_diverged = PyErr_NewException("ripplex.Diverged", g_error, nullptr);
    g_sceneWarning = PyErr_NewException("ripplex.SceneWarning", PyExc_UserWarning, nullptr);
    if (!g_error || !g_diverged || !g_sceneWarning)
        throw py::error_already_set();
    m.attr("Error") = py::handle(g_error);
    m.attr("Diverged") = py::handle(g_diverged);
    m.attr("SceneWarning") = py::handle(g_sceneWarning);
    m.attr("SOLID") = int(OBJECT_SOLID);
    m.attr("PARTICLE") = int(OBJECT_PARTICLE);
    PYBIND11_NUMPY_DTYPE(BasinObject, kind, position, speed, radius);

    py::register_exception_translator([](std::exception_ptr p) {
        try
        {
            if (p)
                std::rethrow_exception(p);
        }
        catch (const CBasinDiverged& e)
        {
            PyErr_SetObject(g_diverged, Latin1(e.what()).ptr());
        }
        catch (const CBasinRefused& e)
        {
            PyErr_SetObject(g_error, Latin1(e.what()).ptr());
        }
    });
    BindBasin(m);
}
