#pragma once
// Where the extension meets NumPy and the interpreter.
//
// Arrays: a float64 NumPy array of rank 2 whose strides are whole elements (C order,
// Fortran order, a slice) is read where it lies, through a TArrayView; any other array of
// real numbers is converted once to a C-ordered float64 copy. Results are the core's own
// buffers: the TArray2D's vector moves into a heap object that a capsule owns, and the
// NumPy array looks at it, so nothing is copied on the way out either.
//
// Work: the core runs on a thread of its own while the calling thread, with the GIL
// released, waits in slices of 20 ms. Between slices the calling thread takes the GIL,
// lets Python run its signal handlers (Ctrl+C raises KeyboardInterrupt there) and runs
// the callbacks the work handed to it, so Python code never runs on the worker. An
// interrupt or a callback's exception requests the work's stop, waits for the worker
// to end and is raised in the caller.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

#include "tomo/Geometry.h"

namespace quarvel::python {

namespace py = pybind11;

// A 2-D array of numbers as the core reads it. `View` looks into `Keep` (the caller's
// array itself, or the one converted copy), which must outlive it.
struct TInputArray {
  py::array Keep;
  TArrayView View;
};

// Raises TypeError for what is not an array of real numbers (`what` names the argument),
// ValueError for a rank other than 2, an empty array or a non-finite value (naming its
// row and column).
TInputArray ReadArray(py::handle object, const std::string& what);

// The array as a C-ordered float64 NumPy array that owns the array's buffer.
py::array HandOver(TArray2D&& array);

// A copy of a view, as a NumPy array (for a callback: the core's image changes after it).
py::array CopyOut(const TArrayView& view);

// One run of the core off the GIL; see the header's comment. Made and used by one
// calling thread, for one piece of work.
class TRun {
 public:
  // Runs work(stop) and returns its result, or raises what stopped it: the interrupt or
  // the callback's exception first, else the work's own exception. Call with the GIL held.
  template <class TWork>
  auto operator()(TWork&& work) -> decltype(work(std::stop_token{})) {
    using TResult = decltype(work(std::stop_token{}));
    std::optional<TResult> result;
    std::exception_ptr workError;
    std::thread worker([&] {
      try {
        result.emplace(work(source_.get_token()));
      } catch (...) {
        workError = std::current_exception();
      }
      const std::lock_guard lock(mutex_);
      done_ = true;
      changed_.notify_all();
    });
    Serve();
    worker.join();
    if (pythonError_) std::rethrow_exception(pythonError_);
    if (workError) std::rethrow_exception(workError);
    return std::move(*result);
  }

  // From the worker: runs `call` on the calling thread with the GIL held and returns when
  // it has run. Raises ECancelled when the run is stopping (the call then does not run).
  void Post(const std::function<void()>& call);

 private:
  void Serve();

  std::stop_source source_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool done_ = false;
  const std::function<void()>* pending_ = nullptr;
  std::exception_ptr pythonError_;
};

}  // namespace quarvel::python
