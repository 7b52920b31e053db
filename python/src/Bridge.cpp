#include "Bridge.h"

#include <chrono>
#include <climits>
#include <cmath>
#include <utility>
#include <vector>

namespace quarvel::python {

namespace {

// Whether NumPy's array can be looked at in place as the core's doubles.
bool ReadableInPlace(const py::array& array) {
  if (!py::isinstance<py::array_t<double>>(array) || array.ndim() != 2) return false;
  const auto flags = py::detail::array_proxy(array.ptr())->flags;
  if ((flags & py::detail::npy_api::NPY_ARRAY_ALIGNED_) == 0) return false;
  const auto byteOrder = py::detail::array_descriptor_proxy(array.dtype().ptr())->byteorder;
  if (byteOrder == '>') return false;  // a big-endian array on this little-endian host
  return array.strides(0) % py::ssize_t(sizeof(double)) == 0 &&
         array.strides(1) % py::ssize_t(sizeof(double)) == 0;
}

}  // namespace

TInputArray ReadArray(py::handle object, const std::string& what) {
  py::array array = py::array::ensure(object);
  if (!array) {
    PyErr_Clear();
    throw py::type_error(what + " must be an array of real numbers, not " +
                         std::string(py::str(py::type::of(object).attr("__name__"))));
  }
  const char kind = array.dtype().kind();
  if (kind != 'f' && kind != 'i' && kind != 'u' && kind != 'b')
    throw py::type_error(what + " must be an array of real numbers, not of " +
                         std::string(py::str(array.dtype())));
  if (array.ndim() != 2)
    throw py::value_error(what + " must have 2 dimensions, not " + std::to_string(array.ndim()));
  if (array.shape(0) == 0 || array.shape(1) == 0)
    throw py::value_error(what + " is empty (" + std::to_string(array.shape(0)) + " x " +
                          std::to_string(array.shape(1)) + ")");
  if (array.shape(0) > INT_MAX || array.shape(1) > INT_MAX)
    throw py::value_error(what + " is too large");
  if (!ReadableInPlace(array))
    array = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(array);
  if (!array) throw py::error_already_set();

  TInputArray input{array, {}};
  input.View.Data = static_cast<const double*>(array.data());
  input.View.Rows = static_cast<int>(array.shape(0));
  input.View.Columns = static_cast<int>(array.shape(1));
  input.View.RowStride = array.strides(0) / py::ssize_t(sizeof(double));
  input.View.ColumnStride = array.strides(1) / py::ssize_t(sizeof(double));
  for (int r = 0; r < input.View.Rows; ++r)
    for (int c = 0; c < input.View.Columns; ++c)
      if (!std::isfinite(input.View.At(r, c)))
        throw py::value_error(what + " has a non-finite value at row " + std::to_string(r) +
                              ", column " + std::to_string(c));
  return input;
}

py::array HandOver(TArray2D&& array) {
  auto* values = new std::vector<double>(std::move(array.Values));
  py::capsule owner(values, [](void* p) { delete static_cast<std::vector<double>*>(p); });
  return py::array_t<double>({py::ssize_t(array.Rows), py::ssize_t(array.Columns)}, values->data(),
                             owner);
}

py::array CopyOut(const TArrayView& view) {
  py::array_t<double> copy({py::ssize_t(view.Rows), py::ssize_t(view.Columns)});
  auto out = copy.mutable_unchecked<2>();
  for (int r = 0; r < view.Rows; ++r)
    for (int c = 0; c < view.Columns; ++c) out(r, c) = view.At(r, c);
  return copy;
}

void TRun::Post(const std::function<void()>& call) {
  std::unique_lock lock(mutex_);
  if (source_.stop_requested()) throw ECancelled();
  pending_ = &call;
  changed_.notify_all();
  changed_.wait(lock, [&] { return pending_ == nullptr; });
  if (source_.stop_requested()) throw ECancelled();
}

void TRun::Serve() {
  const py::gil_scoped_release release;
  std::unique_lock lock(mutex_);
  while (!done_) {
    changed_.wait_for(lock, std::chrono::milliseconds(20), [&] { return done_ || pending_; });
    if (done_) break;
    const std::function<void()>* call = pending_;
    lock.unlock();
    {
      const py::gil_scoped_acquire gil;
      if (!pythonError_) {
        try {
          if (PyErr_CheckSignals() != 0) throw py::error_already_set();
          if (call) (*call)();
        } catch (...) {
          pythonError_ = std::current_exception();
          source_.request_stop();
        }
      }
    }
    lock.lock();
    if (call) {
      pending_ = nullptr;
      changed_.notify_all();
    }
  }
}

}  // namespace quarvel::python
