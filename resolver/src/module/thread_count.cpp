#include "thread_count.h"

#include <sched.h>

#include <thread>

namespace zorv::native {

std::size_t usable_cores() {
  cpu_set_t cores;
  if (sched_getaffinity(0, sizeof cores, &cores) == 0) {
    const int count = CPU_COUNT(&cores);
    if (count > 0) return static_cast<std::size_t>(count);
  }
  const unsigned hardware = std::thread::hardware_concurrency();
  return hardware > 0 ? hardware : 1;
}

bool threads_of(PyObject* threads_object, std::size_t& threads) {
  if (threads_object == nullptr || threads_object == Py_None) {
    threads = usable_cores();
    return true;
  }
  if (!PyLong_Check(threads_object) || PyBool_Check(threads_object)) {
    PyErr_SetString(PyExc_TypeError, "threads must be an int or None");
    return false;
  }
  const long long wanted = PyLong_AsLongLong(threads_object);
  if (wanted == -1 && PyErr_Occurred()) return false;
  if (wanted < 1) {
    PyErr_SetString(PyExc_ValueError, "threads must be at least 1");
    return false;
  }
  // More threads than work never helps, and every batch caps them so.
  threads = static_cast<std::size_t>(wanted);
  return true;
}

}  // namespace zorv::native
