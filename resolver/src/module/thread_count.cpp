#include "thread_count.h"

#include <thread>

#if defined(__linux__)
#include <sched.h>
#endif

namespace zorv::native {

std::size_t usable_cores() {
#if defined(__linux__)
  // The cores this process may run on, which a container or taskset may
  // hold below the machine's.
  cpu_set_t cores;
  if (sched_getaffinity(0, sizeof cores, &cores) == 0) {
    const int count = CPU_COUNT(&cores);
    if (count > 0) return static_cast<std::size_t>(count);
  }
#endif
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
